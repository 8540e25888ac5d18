// SPDX-License-Identifier: GPL-2.0-or-later
#include <gtest/gtest.h>

#include <memory>
#include <thread>
#include <vector>

#include "media/FrameCodePainter.h"
#include "media/FrameCodePayload.h"
#include "media/VideoFrameComposer.h"
#include "base/MediaTime.h"

using namespace Application;

namespace
{
constexpr std::int64_t Second = 10'000'000;
// 2026-12-06T10:00:00Z.
constexpr std::int64_t December2026 = UnixEpochAbsoluteTime + std::int64_t{1'796'551'200} * Second;

struct Picture
{
    std::uint32_t Width;
    std::uint32_t Height;
    std::vector<std::uint8_t> Data;

    Picture(std::uint32_t W, std::uint32_t H) : Width(W), Height(H), Data(static_cast<std::size_t>(W) * H * 4, 0x55) {}
    std::uint32_t Stride() const { return Width * 4; }
    std::uint32_t At(std::uint32_t X, std::uint32_t Y) const
    {
        std::uint8_t const* Pixel = Data.data() + (static_cast<std::size_t>(Y) * Width + X) * 4;
        return Pixel[0] | (Pixel[1] << 8) | (Pixel[2] << 16) | (static_cast<std::uint32_t>(Pixel[3]) << 24);
    }
};

Picture Compose(VideoFrameComposer::Parameters const& Parameters, std::int64_t Index, std::int64_t Time)
{
    VideoFrameComposer Composer(Parameters);
    Picture Result(Parameters.Width, Parameters.Height);
    Composer.Compose(Index, Time, Result.Data.data(), Result.Stride());
    return Result;
}

VideoFrameComposer::Parameters Size(std::uint32_t Width, std::uint32_t Height, std::uint32_t RateN)
{
    VideoFrameComposer::Parameters Value;
    Value.Width = Width;
    Value.Height = Height;
    Value.RateN = RateN;
    Value.RateD = 1;
    return Value;
}

bool IsText(std::uint32_t Pixel)
{
    std::uint32_t const R = (Pixel >> 16) & 0xFF, G = (Pixel >> 8) & 0xFF, B = Pixel & 0xFF;
    return R > 120 && G > 110 && R > B + 30;
}
} // namespace

TEST(FrameCodePayload, NamesAssetVariantFrameMediaTimeAndUtc)
{
    EXPECT_EQ(FrameCodePayload::Format({1, 0}, 150, 60'000'000, std::nullopt), "QVF1;a=1;v=0;f=150;t=6000;u=-");
    // Milliseconds are rounded down: frame 1 at 30000/1001 fps is 33.3667 ms.
    EXPECT_EQ(FrameCodePayload::Format({12, 1}, 1, 333'667, std::nullopt), "QVF1;a=12;v=1;f=1;t=33;u=-");
    EXPECT_EQ(FrameCodePayload::Format({3, 0}, 250, 100'000'000, December2026 - 10 * Second), "QVF1;a=3;v=0;f=250;t=10000;u=1796551200000");
    EXPECT_EQ(FrameCodePayload::Format({4294967295u, 5}, 25'000'000, 10'000'000'000'000, December2026),
              "QVF1;a=4294967295;v=5;f=25000000;t=1000000000;u=1797551200000");
}

TEST(FrameCodePayload, NamesTheBreakTheAdAndTheChangeOnlyWhereTheyApply)
{
    EXPECT_EQ(FrameCodePayload::Format({1, 0}, 150, 60'000'000, std::nullopt, BreakMoment{7, false, 3, 10}), "QVF1;a=1;v=0;f=150;t=6000;u=-;b=-7");
    EXPECT_EQ(FrameCodePayload::Format({1, 0}, 150, 60'000'000, std::nullopt, BreakMoment{7, true, 1, 10}, 2), "QVF1;a=1;v=0;f=150;t=6000;u=-;b=7;ad=2");
    EXPECT_EQ(FrameCodePayload::Format({1, 0}, 150, 60'000'000, std::nullopt, std::nullopt, 2), "QVF1;a=1;v=0;f=150;t=6000;u=-;ad=2");
    // The change epoch comes last, epoch 0 too.
    EXPECT_EQ(FrameCodePayload::Format({1, 0}, 150, 60'000'000, std::nullopt, std::nullopt, std::nullopt, 0), "QVF1;a=1;v=0;f=150;t=6000;u=-;c=0");
    EXPECT_EQ(FrameCodePayload::Format({1, 0}, 150, 60'000'000, December2026, BreakMoment{7, true, 1, 10}, 2, 4294967295u),
              "QVF1;a=1;v=0;f=150;t=6000;u=1796551206000;b=7;ad=2;c=4294967295");
}

// That the codes read back, at every default size, is judged end to end by
// zbarimg (test_clock_and_frame_code.py); here, what they leave of the picture.
TEST(FrameCodePainter, TheCodeLeavesEveryTextPixelOfThePictureAsItWas)
{
    // Both default sizes, across a whole sway of the box, with long frame
    // numbers and the live clock text.
    for(auto Plain : {Size(1280, 720, 25), Size(960, 540, 1)})
        for(std::int64_t Index : {0, 25, 50, 75, 123456789})
            for(bool Live : {false, true})
            {
                if(Live)
                    Plain.BaseLiveTime = December2026;
                auto Coded = Plain;
                Coded.FrameCode = FrameCodeIdentity{4294967295u, 1};
                std::int64_t const Time = Index * Second * Plain.RateD / Plain.RateN;
                auto const Without = Compose(Plain, Index, Time);
                auto const With = Compose(Coded, Index, Time);
                Picture Scratch(Plain.Width, Plain.Height);
                std::uint32_t const Side = FrameCodePainter::Paint(FrameCodePayload::Format(*Coded.FrameCode, Index, Time, Coded.BaseLiveTime),
                                                                   Scratch.Data.data(), Scratch.Stride(), Plain.Width, Plain.Height)
                                               .Side;
                ASSERT_GT(Side, 0u);
                std::size_t TextPixels = 0;
                for(std::uint32_t Y = 0; Y < Plain.Height; ++Y)
                    for(std::uint32_t X = 0; X < Plain.Width; ++X)
                    {
                        bool const Covered = X < Side && Y < Side;
                        if(IsText(Without.At(X, Y)))
                        {
                            ++TextPixels;
                            ASSERT_FALSE(Covered) << Plain.Width << " frame " << Index << " at " << X << "," << Y;
                        }
                        if(!Covered)
                        {
                            ASSERT_EQ(Without.At(X, Y), With.At(X, Y)) << Plain.Width << " frame " << Index << " at " << X << "," << Y;
                        }
                    }
                EXPECT_GT(TextPixels, 1000u);
                EXPECT_EQ(With.At(0, 0), 0xFFFFFFFFu);
            }
    // A picture too small for a readable code gets none.
    Picture Tiny(40, 30);
    EXPECT_EQ(FrameCodePainter::Paint("QVF1;a=1;v=0;f=1;t=40;u=-", Tiny.Data.data(), Tiny.Stride(), 40, 30).Side, 0u);
    EXPECT_EQ(Tiny.At(0, 0), 0x55555555u);
}

TEST(FrameCodePainter, ComposersOnSeveralThreadsDrawTheSamePicturesAndCodes)
{
    // Segment tasks draw in parallel: the shared tables of cairo, pango and
    // the QR encoder must hold.
    auto Parameters = Size(960, 540, 1);
    Parameters.FrameCode = FrameCodeIdentity{7, 1};
    std::vector<Picture> Expected;
    for(std::int64_t Index = 0; Index < 6; ++Index)
        Expected.push_back(Compose(Parameters, Index, Index * Second));
    EXPECT_NE(Expected[0].Data, Expected[1].Data);
    std::vector<int> Mismatches(4, 0);
    std::vector<std::thread> Threads;
    for(std::size_t Thread = 0; Thread < Mismatches.size(); ++Thread)
        Threads.emplace_back([&, Thread] {
            VideoFrameComposer Composer(Parameters);
            Picture Frame(Parameters.Width, Parameters.Height);
            for(int Round = 0; Round < 3; ++Round)
                for(std::size_t Index = 0; Index < Expected.size(); ++Index)
                {
                    Composer.Compose(static_cast<std::int64_t>(Index), static_cast<std::int64_t>(Index) * Second, Frame.Data.data(), Frame.Stride());
                    Mismatches[Thread] += Frame.Data != Expected[Index].Data;
                }
        });
    for(auto& Thread : Threads)
        Thread.join();
    EXPECT_EQ(Mismatches, std::vector<int>(4, 0));
}
