// SPDX-License-Identifier: GPL-2.0-or-later
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "media/ToneBurstSignal.h"

using namespace Application;

namespace
{
constexpr std::uint32_t Rate = 48000;

// Sign changes over the burst of one second: twice the frequency times 0.1 s.
int ZeroCrossings(ToneBurstSignal const& Signal, std::int64_t Second)
{
    int Crossings = 0;
    float Previous = 0.0f;
    for(std::int64_t Index = Second * Rate + 1; Index < Second * Rate + Rate / 10; ++Index)
    {
        float const Value = Signal.Value(Index);
        if(Value != 0.0f && Previous != 0.0f && (Value < 0.0f) != (Previous < 0.0f))
            ++Crossings;
        if(Value != 0.0f)
            Previous = Value;
    }
    return Crossings;
}
} // namespace

TEST(ToneBurstSignal, BurstsHaveTheirFrequencyEachSecond)
{
    ToneBurstSignal const Signal(Rate);
    // 0.1 s of F Hz crosses zero 0.2 × F times (less the one at the very end).
    EXPECT_NEAR(ZeroCrossings(Signal, 0), 280, 1);
    EXPECT_NEAR(ZeroCrossings(Signal, 5), 200, 1);
    EXPECT_NEAR(ZeroCrossings(Signal, 6), 140, 1);
    EXPECT_NEAR(ZeroCrossings(Signal, 10), 280, 1);
    EXPECT_NEAR(ZeroCrossings(Signal, 15), 200, 1);
    EXPECT_NEAR(ZeroCrossings(Signal, 17), 140, 1);
}

TEST(ToneBurstSignal, EnvelopeRisesAndFallsWithinTheFirstTenthOfEachSecond)
{
    ToneBurstSignal const Signal(Rate);
    float Peak = 0.0f;
    float EdgePeak = 0.0f;
    for(std::int64_t Index = 6 * Rate; Index < 7 * Rate; ++Index)
    {
        float const Value = std::fabs(Signal.Value(Index));
        std::int64_t const Offset = Index - 6 * Rate;
        if(Offset >= Rate / 10)
        {
            ASSERT_EQ(Value, 0.0f) << Offset;
        }
        Peak = std::max(Peak, Value);
        // The envelope starts and ends at 0: the first and last samples of
        // the burst are nearly silent.
        if(Offset < 5 || (Offset >= Rate / 10 - 5 && Offset < Rate / 10))
            EdgePeak = std::max(EdgePeak, Value);
    }
    EXPECT_EQ(Signal.Value(6 * Rate), 0.0f);
    EXPECT_GT(Peak, 0.99f);
    EXPECT_LE(Peak, 1.0f);
    EXPECT_LT(EdgePeak, 0.02f);
    // Before the presentation starts there is nothing.
    EXPECT_EQ(Signal.Value(-100), 0.0f);
}

TEST(ToneBurstSignal, Writes16BitSamplesOnEveryChannelFromAnyStart)
{
    ToneBurstSignal const Signal(Rate);
    std::int64_t const First = 288000 + 100;
    std::uint32_t const Count = 480;
    std::vector<std::uint8_t> Pcm16(Count * 2 * 2);
    Signal.Write(First, Count, 2, ToneBurstSignal::SampleFormat::Pcm16, Pcm16);
    for(std::uint32_t Frame = 0; Frame < Count; ++Frame)
    {
        auto const Expected = static_cast<std::int16_t>(Signal.Value(First + Frame) * 32767.0f);
        for(std::uint32_t Channel = 0; Channel < 2; ++Channel)
        {
            std::size_t const Offset = (Frame * 2 + Channel) * 2;
            ASSERT_EQ(static_cast<std::int16_t>(Pcm16[Offset] | (Pcm16[Offset + 1] << 8)), Expected) << Frame;
        }
    }

    // The other formats are made by no session; a buffer too small is refused.
    std::vector<std::uint8_t> Small(3);
    EXPECT_ANY_THROW(Signal.Write(First, 1, 1, ToneBurstSignal::SampleFormat::Pcm32, Small));
}

TEST(ToneBurstSignal, TheMarkerAddsTenMillisecondsOf6000HzFromEveryWholeSecond)
{
    ToneBurstSignal const Plain(Rate);
    ToneBurstSignal const Marked(Rate, true);
    std::uint32_t const MarkerSamples = Rate / 100;
    float Largest = 0.0f;
    for(std::int64_t Second : {0, 1, 5, 10, 3599})
        for(std::int64_t Offset = -10; Offset < Rate / 10 + 10; ++Offset)
        {
            std::int64_t const Index = Second * Rate + Offset;
            float const Added = Marked.Value(Index) - Plain.Value(Index);
            // Exactly on the absolute sample grid: phase 0 at the second's first
            // sample, a period of 8 samples at 48 kHz, nothing outside 10 ms.
            float const Expected = Offset >= 0 && Offset < MarkerSamples ? 0.25f * std::sin(3.14159265f * static_cast<float>(Offset) / 4.0f) : 0.0f;
            ASSERT_NEAR(Added, Expected, 1e-5f) << Second << " " << Offset;
            Largest = std::max(Largest, std::fabs(Marked.Value(Index)));
        }
    EXPECT_EQ(Marked.Value(Rate), Plain.Value(Rate));
    EXPECT_NEAR(Marked.Value(Rate + 2) - Plain.Value(Rate + 2), 0.25f, 1e-5f);
    // The sum stays a valid sample value.
    EXPECT_LE(Largest, 1.0f);
    EXPECT_GT(Largest, 0.9f);
    EXPECT_EQ(Marked.Value(-1), 0.0f);
}

TEST(ToneBurstSignal, AnAdBurstsAtItsOwnFrequencyEverySecond)
{
    // Ad 1 at 440 Hz, ad 6 at 2200 Hz, ad 7 as ad 1, at every second alike.
    for(auto const& [Advert, Crossings] : {std::pair{1u, 88}, std::pair{6u, 440}, std::pair{7u, 88}})
        for(std::int64_t Second : {0, 5, 6})
            EXPECT_NEAR(ZeroCrossings(ToneBurstSignal(Rate, false, Advert), Second), Crossings, 1) << Advert << " " << Second;
}
