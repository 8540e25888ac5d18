// SPDX-License-Identifier: GPL-2.0-or-later
#include "http/Location.h"

#include "base/HResultError.h"

#include <gtest/gtest.h>

TEST(Location, FormsOfHostAndPort)
{
    auto const Wildcard = HttpServer::Location::Parse("http://+:80/hls/");
    EXPECT_TRUE(Wildcard.IsWildcard());
    EXPECT_EQ(Wildcard.Port, 80);
    EXPECT_EQ(Wildcard.Path, "/hls/");
    EXPECT_TRUE(HttpServer::Location::Parse("http://*:8080/x/").IsWildcard());
    auto const V4 = HttpServer::Location::Parse("http://127.0.0.1:9000/a/");
    EXPECT_EQ(V4.Host, "127.0.0.1");
    EXPECT_EQ(V4.Port, 9000);
    auto const V6 = HttpServer::Location::Parse("http://[::1]:9000/a/");
    EXPECT_EQ(V6.Host, "::1");
    EXPECT_EQ(V6.Port, 9000);
    auto const Named = HttpServer::Location::Parse("HTTP://localhost/");
    EXPECT_EQ(Named.Host, "localhost");
    EXPECT_EQ(Named.Port, 80);
    for(char const* Bad : {"https://+:443/a/", "http://:80/a/", "http://+:99999/a/", "http://+:8x/a/", "http://[::1/a/", "+:80/hls/", "http://+:8080/hls", "http://+:8080/a/b"})
        EXPECT_THROW(HttpServer::Location::Parse(Bad), HResultError) << Bad;
}
