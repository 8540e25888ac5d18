// SPDX-License-Identifier: GPL-2.0-or-later
#include "presentation/RequestTime.h"

#include "base/FailureCodes.h"
#include "presentation/AssetRegistry.h"
#include "presentation/TestSupport.h"
#include "presentation/Timeline.h"

using namespace Application;
using Application::Test::Query;
using Application::Test::RaisedStatus;

namespace
{
constexpr std::int64_t Second = 10'000'000;
// 2026-12-06T10:00:00Z.
constexpr std::int64_t December2026 = UnixEpochAbsoluteTime + std::int64_t{1'796'551'200} * Second;

std::int64_t NeverCalled()
{
    ADD_FAILURE() << "the clock was read although the query says what time it is";
    return 0;
}
} // namespace

TEST(RequestTime, MillisecondsAndUtcTimesNameTheSameInstants)
{
    EXPECT_EQ(RequestTime::Parse("1796551200000"), December2026);
    EXPECT_EQ(RequestTime::Parse("2026-12-06T10:00:00Z"), December2026);
    EXPECT_EQ(RequestTime::Parse("1796551200123"), December2026 + 1'230'000);
    EXPECT_EQ(RequestTime::Parse("2026-12-06T10:00:00.123Z"), December2026 + 1'230'000);
    // Fractions are kept to 100 ns: a seventh digit counts, later ones do not.
    EXPECT_EQ(RequestTime::Parse("2026-12-06T10:00:00.1234567Z"), December2026 + 1'234'567);
    EXPECT_EQ(RequestTime::Parse("2026-12-06T10:00:00.123456789Z"), December2026 + 1'234'567);
    EXPECT_EQ(RequestTime::Parse("2026-12-06T10:00:00.5Z"), December2026 + 5'000'000);
    EXPECT_EQ(RequestTime::Parse("0"), UnixEpochAbsoluteTime);
    EXPECT_EQ(RequestTime::Parse("1970-01-01T00:00:00Z"), UnixEpochAbsoluteTime);
    EXPECT_EQ(RequestTime::Parse("2024-01-01T00:00:00Z"), Application::Test::January2024);
    // Leap day, and the last instant both forms can name.
    EXPECT_EQ(RequestTime::Parse("2028-02-29T23:59:59Z"), RequestTime::Parse("1835481599000"));
    EXPECT_EQ(RequestTime::Parse("9999-12-31T23:59:59.999Z"), RequestTime::Parse("253402300799999"));
}

TEST(RequestTime, AnythingElseIsRefused)
{
    for(auto Text : {"", " 1796551200000", "1796551200000 ", "+1796551200000", "-1", "1.5", "0x10", "253402300800000", "1234567890123456",
                     "2026-12-06T10:00:00", "2026-12-06 10:00:00Z", "2026-12-06t10:00:00z", "2026-12-06T10:00:00+00:00", "2026-12-06T10:00Z",
                     "2026-13-06T10:00:00Z", "2026-02-29T10:00:00Z", "2026-12-32T10:00:00Z", "2026-12-06T24:00:00Z", "2026-12-06T10:60:00Z",
                     "2026-12-06T10:00:60Z", "1969-12-31T23:59:59Z", "2026-12-06T10:00:00.Z", "2026-12-06T10:00:00.1234567890Z",
                     "2026-12-06T10:00:00,5Z", "26-12-06T10:00:00Z", "now"})
        EXPECT_FALSE(RequestTime::Parse(Text).has_value()) << Text;
}

TEST(RequestTime, TheQueryReplacesTheClockAndAMalformedValueFailsTheRequest)
{
    EXPECT_EQ(RequestTime::Read(Query("asset=1&now=2026-12-06T10:00:00Z"), NeverCalled), December2026);
    EXPECT_EQ(RequestTime::Read(Query("asset=1"), [] { return std::int64_t{42}; }), 42);
    EXPECT_FALSE(RequestTime::FromQuery(Query("asset=1")).has_value());
    for(auto Text : {"now", "now=", "now=tomorrow", "now=2026-12-06T10:00:00"})
        EXPECT_EQ(RaisedStatus([&] { RequestTime::FromQuery(Query(Text)); }), FailureCode::NowInvalid) << Text;
}

TEST(RequestTime, AManifestWithNowStartsItsLiveTimelineFromIt)
{
    DefaultVariantSets const Defaults;
    AssetRegistry Registry(Defaults);
    std::int64_t const ServerBase = Application::Test::January2024;
    // That a live timeline starts 10 s (or "ls") before the manifest's "now"
    // is read back end to end from the frame codes' UTC times.
    auto const& Anchored = Registry.Create(ManifestKind::Hls, Query("live&now=2026-12-06T10:00:00Z"), ServerBase, December2026);
    auto const& Plain = Registry.Create(ManifestKind::Hls, Query("live"), ServerBase, December2026);
    EXPECT_EQ(Plain.BaseLiveTime, ServerBase);

    // How the window follows the clock is TimelineTest's. A reading so far
    // ahead that segment numbers leave 32 bits is refused.
    auto const& Video = Anchored.VariantSet.VideoVariants.at(0);
    auto const Far = RequestTime::Parse("9999-12-31T23:59:59Z").value();
    EXPECT_EQ(RaisedStatus([&] { Timeline(Anchored, Far).VideoSegments(Video, 0); }), E_INVALIDARG);

    // A live timeline never begins before 1970: its date-times could not be written.
    struct Row
    {
        char const* Query;
        std::int64_t Start; // 0: refused
    };
    for(auto const& Row : std::vector<Row>{{"live&now=0", 0},
                                           {"live&now=9999", 0},
                                           {"live&now=10000", UnixEpochAbsoluteTime},
                                           {"live&ls=100&now=99999", 0},
                                           {"live&ls=100&now=100000", UnixEpochAbsoluteTime},
                                           {"now=0", ServerBase}})
    {
        auto const Now = RequestTime::FromQuery(Query(Row.Query)).value();
        if(Row.Start == 0)
            EXPECT_EQ(RaisedStatus([&] { Registry.Create(ManifestKind::Hls, Query(Row.Query), ServerBase, Now); }), FailureCode::NowInvalid) << Row.Query;
        else
            EXPECT_EQ(Registry.Create(ManifestKind::Hls, Query(Row.Query), ServerBase, Now).BaseLiveTime, Row.Start) << Row.Query;
    }
}
