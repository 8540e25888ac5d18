// SPDX-License-Identifier: GPL-2.0-or-later
#include <gtest/gtest.h>

#include "base/FailureCodes.h"
#include "base/StringFormat.h"
#include "presentation/AdAssets.h"
#include "presentation/AssetRegistry.h"
#include "presentation/BreakSchedule.h"
#include "presentation/DashPeriodPlan.h"
#include "presentation/HlsPlaylistWriter.h"
#include "presentation/TestSupport.h"

using namespace Application;
using Application::Test::Query;
using Application::Test::RaisedStatus;

namespace
{
constexpr std::int64_t Second = 10'000'000;
constexpr std::int64_t Grid = 3 * Second;

BreakSchedule Snapped(std::string_view Text, std::optional<std::int64_t> End = std::nullopt)
{
    auto Schedule = BreakSchedule::Parse(Text);
    Schedule.Snap(Grid, End);
    return Schedule;
}

// Breaks as "start+duration" in seconds.
std::string Describe(std::vector<AdBreak> const& Breaks)
{
    std::string Text;
    for(auto const& Break : Breaks)
        Text += StringFormat("%s%u:%lld+%lld", Text.empty() ? "" : " ", Break.Number, static_cast<long long>(Break.Start / Second),
                             static_cast<long long>(Break.Duration / Second));
    return Text;
}
} // namespace

TEST(BreakSchedule, BreaksSnapToTheNearestSegmentBoundary)
{
    struct Case
    {
        std::string_view Text;
        std::string Expected;
    } const Cases[]{
        {"10:5", "1:9+6 2:21+6 3:30+6 4:39+6 5:51+6 6:60+6"}, // starts round both ways, 5 s ties up to 6
        {"60:1", "1:60+3"},                             // a break lasts one segment at least
        {"@40:10,@5:2", "1:6+3 2:39+9"},                 // listed in any order, numbered in time order
    };
    for(auto const& Item : Cases)
        EXPECT_EQ(Describe(Snapped(Item.Text).Overlapping(0, 60 * Second + 1)), Item.Expected) << Item.Text;
    // Far along a live timeline the periodic form finds its breaks without counting from 0.
    EXPECT_EQ(Describe(Snapped("10:5").Overlapping(100'000 * Second, 100'010 * Second)), "10000:99999+6");
    EXPECT_EQ(Snapped("10:5").Numbered(10'000)->Start, 99'999 * Second);
}

TEST(BreakSchedule, RefusesWhatCannotBePlaced)
{
    for(std::string_view Text : {"", "10", "10:10", "0:0", "10:0", "3601:5", "@5", "@5:2,", "5:2,@1:1", "a:b", "10:-1", "@10:5,@12:5"})
        EXPECT_EQ(RaisedStatus([&] { Snapped(Text); }), FailureCode::BreaksInvalid) << Text;
    // Too close for three-second segments, and past the end of the presentation.
    EXPECT_EQ(RaisedStatus([] { Snapped("5:1"); }), FailureCode::BreaksInvalid);
    EXPECT_EQ(RaisedStatus([] { Snapped("@15:6", 18 * Second); }), FailureCode::BreaksInvalid);
    EXPECT_EQ(Describe(Snapped("6:3", 18 * Second).Overlapping(0, 100 * Second)), "1:6+3 2:12+3") << "periodic breaks stop at the end";
}

class AdBreakAssets : public ::testing::Test
{
protected:
    Configuration& Create(std::string_view Text, ManifestKind Kind = ManifestKind::Hls)
    {
        return m_Registry.Create(Kind, Query(Text), Application::Test::January2024, Application::Test::January2024);
    }

    DefaultVariantSets m_Defaults;
    AssetRegistry m_Registry{m_Defaults};
};

TEST_F(AdBreakAssets, AdsShareTheirBreakInWholeSegments)
{
    auto const& Asset = Create("duration=60&breaks=@12:10,@30:3&ads=2");
    auto const Slots = [&](std::uint32_t Break) {
        std::string Text;
        for(auto const& Slot : Asset.Breaks->AdsOf(*Asset.Breaks->Schedule.Numbered(Break)))
            Text += StringFormat("%lld+%lld ", static_cast<long long>(Slot.Offset / Second), static_cast<long long>(Slot.Duration / Second));
        return Text;
    };
    // With ads, breaks snap to the boundaries of every track: 6 s.
    EXPECT_EQ(Slots(1), "0+6 6+6 ") << "12 + 10 s snaps to 12 + 12 s: two segments, one each";
    EXPECT_EQ(Slots(2), "0+6 ") << "a one-segment break holds one ad";
    EXPECT_EQ(AdAssets::AssetList(Asset, 1, "http://h/ad.m3u8"),
              StringFormat("{\"ASSETS\":[{\"URI\":\"http://h/ad.m3u8?asset=%u&break=1&ad=1\",\"DURATION\":6.000},"
                           "{\"URI\":\"http://h/ad.m3u8?asset=%u&break=1&ad=2\",\"DURATION\":6.000}]}",
                           Asset.Asset, Asset.Asset));
    auto const Ad = AdAssets::Make(Asset, 1, 2);
    EXPECT_EQ(*Ad.Duration, 6 * Second);
    EXPECT_FALSE(Ad.Breaks.has_value());
    EXPECT_EQ(Ad.AssetQuery(), StringFormat("asset=%u&break=1&ad=2", Asset.Asset));
    for(auto const* Text : {"break=3&ad=1", "break=2&ad=2", "break=1", "ad=1", "break=0&ad=1"})
        EXPECT_EQ(RaisedStatus([&] { AdAssets::Of(Asset, Query(Text)); }), FailureCode::BreakUnknown) << Text;
}

TEST_F(AdBreakAssets, RefusesBreakKeysWithoutBreaksAndUnknownSignals)
{
    for(std::string_view Text : {"ads=1", "signal=cue", "breaks=@9:6&signal=daterange,foo", "breaks=@9:6&signal=cue,cue"})
        EXPECT_EQ(RaisedStatus([&] { Create(Text); }), FailureCode::BreaksInvalid) << Text;
    EXPECT_EQ(RaisedStatus([&] { Create("breaks=9:3&lead=61"); }), E_INVALIDARG);
}

TEST_F(AdBreakAssets, DashPeriodsCutAtBreaks)
{
    auto const Periods = [&](std::string_view Text) {
        std::string Result;
        for(auto const& Plan : DashPeriodPlan::ForAsset(Create(Text, ManifestKind::Dash)))
            Result += StringFormat("%lld+%lld@%lld%s%s ", static_cast<long long>(Plan.Period.Start / Second), static_cast<long long>(Plan.Period.Duration / Second),
                                   static_cast<long long>(Plan.Period.Offset / Second), Plan.Ad ? StringFormat("a%u", Plan.Ad).c_str() : "", Plan.Opens ? "!" : "");
        return Result;
    };
    EXPECT_EQ(Periods("duration=30&breaks=@9:6"), "0+9@0 9+6@9! 15+15@15 ");
    EXPECT_EQ(Periods("duration=30&breaks=@12:12&ads=2"), "0+12@0 12+6@0a1! 18+6@0a2 24+6@24 ");
    EXPECT_EQ(Periods("duration=30&breaks=@0:3,@27:3"), "0+3@0! 3+24@3 27+3@27! ");
}
