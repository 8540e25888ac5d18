// SPDX-License-Identifier: GPL-2.0-or-later
#include "http/AbsolutePath.h"

#include <gtest/gtest.h>

using HttpServer::DecodeAbsolutePath;

TEST(AbsolutePath, EscapesAreDecodedBeforeDotSegmentsAreRemoved)
{
    EXPECT_EQ(DecodeAbsolutePath("/hls/version"), "/hls/version");
    EXPECT_EQ(DecodeAbsolutePath("/hls/a%20b"), "/hls/a b");
    EXPECT_EQ(DecodeAbsolutePath("/hls/../etc/passwd"), "/etc/passwd");
    EXPECT_EQ(DecodeAbsolutePath("/hls/%2e%2e/%2E%2E/x"), "/x");
    EXPECT_EQ(DecodeAbsolutePath("/../../x"), "/x");
    EXPECT_EQ(DecodeAbsolutePath("/hls/./a/.."), "/hls/");
    EXPECT_EQ(DecodeAbsolutePath("/hls/"), "/hls/");
    EXPECT_EQ(DecodeAbsolutePath("/"), "/");
    EXPECT_EQ(DecodeAbsolutePath("*"), "*");
}

TEST(AbsolutePath, BadEscapesAndNulBytesAreRefused)
{
    EXPECT_FALSE(DecodeAbsolutePath("/hls/%zz"));
    EXPECT_FALSE(DecodeAbsolutePath("/hls/%4"));
    EXPECT_FALSE(DecodeAbsolutePath("/hls/%00x"));
}
