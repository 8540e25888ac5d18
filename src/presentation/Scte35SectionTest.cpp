// SPDX-License-Identifier: GPL-2.0-or-later
// The sections' bytes were read back, when they were fixed here, by an
// independent reader (web/tools/scte35-read.mjs with the scte35 package),
// which also checked their CRCs; the comments give the fields it decoded.
#include "presentation/Scte35Section.h"

#include <gtest/gtest.h>

#include "base/MediaTime.h"
#include "presentation/TestSupport.h"

using namespace Application;
using Application::Test::RaisedStatus;

namespace
{
constexpr std::int64_t Second = TimeUnitsPerSecond;
constexpr std::int64_t Tick = TimeUnitsPerSecond / 90'000; // rounded down from 111.1
constexpr std::int64_t PtsWrap = std::int64_t{1} << 33;
} // namespace

TEST(Scte35Section, Crc32OfTheCheckString)
{
    std::string_view const Check = "123456789";
    EXPECT_EQ(Scte35Section::ComputeCrc32({reinterpret_cast<std::uint8_t const*>(Check.data()), Check.size()}), 0x0376E6E7u);
    EXPECT_EQ(Scte35Section::ComputeCrc32({}), 0xFFFFFFFFu);
}

TEST(Scte35Section, SectionsOfEachCommand)
{
    struct Case
    {
        char const* Name;
        std::vector<std::uint8_t> Section;
        char const* Hex;
    };
    std::vector<Case> const Cases{
        // Event 27, out of network, program splice, splice time 410,065,408
        // (100,000 s is 9,000,000,000 ticks, past the wrap), auto-return
        // break of 2,700,000 ticks, unique program 1, avail 1 of 1.
        {"splice_insert cue-out", Scte35Section::WriteSpliceInsert({27, true, 100'000 * Second, 30 * Second, 1, 1, 1}),
         "0xFC302500000000000000FFF014050000001B7FEFFE18711A00FE002932E000010101000030C4EBA5"},
        // Event 27 back in network at 412,765,408, no duration.
        {"splice_insert cue-in", Scte35Section::WriteSpliceInsert({27, false, 100'030 * Second, std::nullopt, 1, 1, 1}),
         "0xFC302000000000000000FFF00F050000001B7F4FFE189A4CE0000101010000B1949646"},
        // pts_time 5,400,000; segmentation event 28, duration 2,700,000, no
        // UPID, type 0x34, segment 0 of 0, sub-segment 0 of 0.
        {"time_signal start", Scte35Section::WriteTimeSignal({60 * Second, 28, true, 30 * Second}),
         "0xFC302E00000000000000FFF00506FE005265C000180216435545490000001C7FFF00002932E000003400000000898D2BA2"},
        // pts_time 8,100,000; event 28, type 0x35, no duration.
        {"time_signal end", Scte35Section::WriteTimeSignal({90 * Second, 28, false, std::nullopt}),
         "0xFC302700000000000000FFF00506FE007B98A00011020F435545490000001C7FBF0000350000C05064E8"},
    };
    for(auto const& [Name, Section, Hex] : Cases)
    {
        EXPECT_EQ(Scte35Section::FormatHex(Section), Hex) << Name;
        // The CRC over a whole section, its own field included, leaves no remainder.
        EXPECT_EQ(Scte35Section::ComputeCrc32(Section), 0u) << Name;
    }
    EXPECT_EQ(Scte35Section::FormatBase64(Cases[0].Section), "/DAlAAAAAAAAAP/wFAUAAAAbf+/+GHEaAP4AKTLgAAEBAQAAMMTrpQ==");
}

TEST(Scte35Section, PtsOfMediaTimes)
{
    struct Case
    {
        std::int64_t MediaTime;
        std::uint64_t Pts;
    };
    for(auto const& [MediaTime, Pts] : std::vector<Case>{
            {0, 0},
            {Second, 90'000},
            {Tick / 2 + 1, 1},   // to the nearest tick
            {Tick / 2 - 1, 0},
            {PtsWrap * Second / 90'000, 0}, // a time on the wrap itself
            {(PtsWrap + 5) * Second / 90'000 + 1, 5},
            {-Second, PtsWrap - 90'000}, // a time before 0 wraps as a PTS does
            // An absolute time of 2023 (13,344,473,600 s since 1601) does not overflow.
            {UnixEpochAbsoluteTime + 1'700'000'000 * Second, 919'019'520},
        })
        EXPECT_EQ(Scte35Section::ToPts(MediaTime), Pts) << MediaTime;
}

TEST(Scte35Section, DurationsOutsideTheirFieldsAreRefused)
{
    // 2^33 ticks is just over 26.5 hours: the break_duration field's end.
    std::int64_t const TooLongBreak = PtsWrap * Second / 90'000 + Second;
    EXPECT_EQ(RaisedStatus([&] { Scte35Section::WriteSpliceInsert({1, true, 0, TooLongBreak, 0, 0, 0}); }), E_INVALIDARG);
    EXPECT_EQ(RaisedStatus([&] { Scte35Section::WriteSpliceInsert({1, true, 0, -Second, 0, 0, 0}); }), E_INVALIDARG);
    EXPECT_EQ(RaisedStatus([&] { Scte35Section::WriteTimeSignal({0, 1, true, -Second}); }), E_INVALIDARG);
    // The 40-bit segmentation duration takes what break_duration cannot.
    EXPECT_NO_THROW(Scte35Section::WriteTimeSignal({0, 1, true, TooLongBreak}));
}
