// SPDX-License-Identifier: GPL-2.0-or-later
#include "host/CommandLineOptions.h"

#include "base/HResultError.h"


#include <gtest/gtest.h>

using namespace Application;

namespace
{
Settings Parse(std::vector<std::string> Arguments)
{
    Arguments.insert(Arguments.begin(), "quorvel");
    Settings Result;
    ParseCommandLineOptions(Result, Arguments);
    return Result;
}
} // namespace

TEST(CommandLineOptions, OptionArgumentsSplitAtTheFirstColon)
{
    std::string Name;
    std::string Value;
    EXPECT_TRUE(ParseOptionArgument("-Debug:Full:x", Name, Value));
    EXPECT_EQ(Name, "Debug");
    EXPECT_EQ(Value, "Full:x");
    EXPECT_TRUE(ParseOptionArgument("-Software", Name, Value));
    EXPECT_EQ(Name, "Software");
    EXPECT_EQ(Value, "");
    EXPECT_FALSE(ParseOptionArgument("Software", Name, Value));
}

TEST(CommandLineOptions, ValuesAliasesAndOrder)
{
    auto const Result = Parse({"-Location", "http://+:8080/a/", "-l", "-dprb", "-LOCATION:ignored", "http://[::1]:9000/b/", "-wrb", "-paf", "0x3"});
    // A value is taken as it stands even when it looks like an option.
    EXPECT_EQ(Result.Locations, (std::vector<std::string>{"http://+:8080/a/", "-dprb", "http://[::1]:9000/b/"}));
    EXPECT_FALSE(Result.DeletePreviousResponseBodies);
    EXPECT_TRUE(Result.WriteResponseBody);
    EXPECT_EQ(Result.ProcessAffinityMask, 0u); // decimal only
    EXPECT_EQ(Parse({"-paf", "12"}).ProcessAffinityMask, 12u);
    EXPECT_EQ(Parse({"-paf", "99999999999"}).ProcessAffinityMask, 0xFFFFFFFFu);
    EXPECT_FALSE(Parse({"-ai", "2", "-sw"}).AdapterIndex.has_value());
    EXPECT_EQ(Parse({"-Software", "-AdapterIndex", "2"}).AdapterIndex, 2u);
    EXPECT_EQ(Parse({"-SegmentCacheBytes", "0"}).SegmentCacheBytes, 0u);
    EXPECT_EQ(Parse({"-AssetStore", "redis://127.0.0.1:6379"}).AssetStore, "redis://127.0.0.1:6379");
    EXPECT_EQ(Parse({}).Locations, std::vector<std::string>{"http://+:80/hls/"});
    EXPECT_EQ(Parse({"-scb", "8589934592"}).SegmentCacheBytes, std::uint64_t{8} << 30); // beyond 32 bits
    EXPECT_EQ(Parse({"-scb", "99999999999999999999999"}).SegmentCacheBytes, ~std::uint64_t{0});
}

TEST(CommandLineOptions, ConnectionLimitsAndProxiesWithinTheirRanges)
{
    auto const Given = Parse({"-MaxConnections", "1", "-mcpa", "1048576", "-TrustedProxy", "127.0.0.1", "-tp", "::ffff:10.0.0.1", "-tp", "::1"});
    EXPECT_EQ(Given.MaximalConnections, 1u);
    EXPECT_EQ(Given.MaximalConnectionsPerAddress, 1048576u);
    EXPECT_EQ(Given.TrustedProxies, (std::vector<std::string>{"127.0.0.1", "10.0.0.1", "::1"}));
    static constexpr char const* Refused[][2] = {
        {"-MaxConnections", "0"},           {"-MaxConnections", "1048577"}, {"-MaxConnections", "99999999999999999999"},
        {"-MaxConnections", "0x10"},        {"-MaxConnections", " 5"},      {"-MaxConnections", ""},
        {"-MaxConnectionsPerAddress", "1"}, {"-TrustedProxy", "localhost"}, {"-TrustedProxy", "127.0.0.1:80"},
    };
    for(auto const& [Option, Value] : Refused)
        EXPECT_THROW(Parse({Option, Value}), HResultError) << Option << " " << Value;
}
