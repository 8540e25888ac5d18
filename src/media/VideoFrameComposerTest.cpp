// SPDX-License-Identifier: GPL-2.0-or-later
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "media/VideoFrameComposer.h"
#include "media/VideoMediaSource.h"

using namespace Application;

namespace
{
constexpr std::uint32_t Width = 1280;
constexpr std::uint32_t Height = 720;
constexpr std::uint32_t Stride = Width * 4;

VideoFrameComposer::Parameters DefaultParameters()
{
    VideoFrameComposer::Parameters Value;
    Value.Width = Width;
    Value.Height = Height;
    Value.RateN = 25;
    Value.RateD = 1;
    Value.BoxColor = 0x00008B;
    return Value;
}

struct Pixel
{
    std::uint8_t B, G, R, A;
    bool operator==(Pixel const&) const = default;
};

Pixel At(std::vector<std::uint8_t> const& Frame, std::uint32_t X, std::uint32_t Y, std::uint32_t RowStride = Stride)
{
    std::uint8_t const* Data = Frame.data() + Y * RowStride + X * 4;
    return {Data[0], Data[1], Data[2], Data[3]};
}

bool IsText(Pixel Value)
{
    return Value.R > 200 && Value.G > 190 && Value.B < 190;
}

std::vector<std::uint8_t> Compose(VideoFrameComposer& Composer, std::int64_t Index)
{
    std::vector<std::uint8_t> Frame(Stride * Height, 0x55);
    Composer.Compose(Index, static_cast<std::int64_t>(Index) * 400000, Frame.data(), Stride);
    return Frame;
}
// The smallest picture a player test captures.
constexpr std::uint32_t SmallWidth = 640;
constexpr std::uint32_t SmallHeight = 360;
constexpr std::int64_t Second = 10'000'000;

// Where pixels are: the box around them, and how many.
struct Region
{
    std::uint32_t Left = ~0u, Top = ~0u, Right = 0, Bottom = 0;
    std::size_t Count = 0;

    void Add(std::uint32_t X, std::uint32_t Y)
    {
        Left = std::min(Left, X), Right = std::max(Right, X), Top = std::min(Top, Y), Bottom = std::max(Bottom, Y);
        ++Count;
    }
};

std::vector<std::uint8_t> ComposeSmall(VideoFrameComposer::Parameters Value, std::int64_t Time)
{
    Value.Width = SmallWidth;
    Value.Height = SmallHeight;
    VideoFrameComposer Composer(Value);
    std::vector<std::uint8_t> Frame(SmallWidth * 4 * SmallHeight);
    // 25 pictures a second: the frame index follows the time.
    Composer.Compose(Time * 25 / Second, Time, Frame.data(), SmallWidth * 4);
    return Frame;
}

Region TextRegion(std::vector<std::uint8_t> const& Frame)
{
    Region Result;
    for(std::uint32_t Y = 0; Y < SmallHeight; ++Y)
        for(std::uint32_t X = 0; X < SmallWidth; ++X)
            if(IsText(At(Frame, X, Y, SmallWidth * 4)))
                Result.Add(X, Y);
    return Result;
}

Region Differences(std::vector<std::uint8_t> const& First, std::vector<std::uint8_t> const& Second)
{
    Region Result;
    for(std::uint32_t Y = 0; Y < SmallHeight; ++Y)
        for(std::uint32_t X = 0; X < SmallWidth; ++X)
            if(At(First, X, Y, SmallWidth * 4) != At(Second, X, Y, SmallWidth * 4))
                Result.Add(X, Y);
    return Result;
}
} // namespace

TEST(VideoFrameComposer, DrawsTheBoxOnBlackAndSwaysItOnceInFourSeconds)
{
    VideoFrameComposer Composer(DefaultParameters());
    Pixel const Black{0, 0, 0, 255};
    Pixel const DarkBlue{0x8B, 0, 0, 255};
    auto const First = Compose(Composer, 0);
    EXPECT_EQ(At(First, 0, 0), Black);
    EXPECT_EQ(At(First, Width - 1, Height - 1), Black);
    // At frame 0 the box spans x 256 to 1024 and y 90 to 630.
    EXPECT_EQ(At(First, 254, 200), Black);
    EXPECT_EQ(At(First, 258, 92), DarkBlue);
    EXPECT_EQ(At(First, 1021, 627), DarkBlue);
    EXPECT_EQ(At(First, 1026, 627), Black);
    EXPECT_EQ(At(First, 300, 88), Black);
    EXPECT_EQ(At(First, 300, 632), Black);
    // A second later (a quarter sway) it has moved right by a sixth of the width.
    auto const Quarter = Compose(Composer, 25);
    EXPECT_EQ(At(Quarter, 467, 200), Black);
    EXPECT_EQ(At(Quarter, 472, 200), DarkBlue);
    // Two seconds later it is back in the middle, then as far to the left.
    auto const Half = Compose(Composer, 50);
    EXPECT_EQ(At(Half, 254, 200), Black);
    EXPECT_EQ(At(Half, 258, 200), DarkBlue);
    auto const ThreeQuarters = Compose(Composer, 75);
    EXPECT_EQ(At(ThreeQuarters, 40, 200), Black);
    EXPECT_EQ(At(ThreeQuarters, 45, 200), DarkBlue);
}

TEST(VideoFrameComposer, CentresTheTextInTheBox)
{
    for(std::int64_t Index : {0, 25, 12345})
    {
        VideoFrameComposer Composer(DefaultParameters());
        auto const Frame = Compose(Composer, Index);
        double const Sway = std::sin(2.0 * 3.14159265358979 * static_cast<double>(Index) / 100.0) * Width / 6.0;
        double const BoxLeft = Width / 5.0 + Sway;
        double const BoxRight = Width - Width / 5.0 + Sway;
        double SumX = 0.0;
        double Count = 0.0;
        std::uint32_t Top = Height;
        std::uint32_t Bottom = 0;
        for(std::uint32_t Y = 0; Y < Height; ++Y)
            for(std::uint32_t X = 0; X < Width; ++X)
                if(IsText(At(Frame, X, Y)))
                {
                    ASSERT_GT(X, BoxLeft);
                    ASSERT_LT(X, BoxRight);
                    SumX += X;
                    Count += 1.0;
                    Top = std::min(Top, Y);
                    Bottom = std::max(Bottom, Y);
                }
        // Three lines of text: the frame number is 120 pixels high alone.
        ASSERT_GT(Count, 5000.0) << Index;
        EXPECT_NEAR(SumX / Count, (BoxLeft + BoxRight) / 2.0, 25.0) << Index;
        EXPECT_LT(Bottom - Top, 360u);
        EXPECT_GT(Bottom - Top, 180u);
        // The first two lines are centred: the block sits around the middle.
        EXPECT_NEAR((Top + Bottom) / 2.0, Height / 2.0, 60.0) << Index;
    }
}

TEST(VideoFrameComposer, BreakNoticesAddALineBelowTheOthersOnlyInTheCountdownAndTheBreak)
{
    auto Plain = DefaultParameters();
    auto Noticed = Plain;
    Noticed.BreakNotices = {{1, 10 * Second, 8 * Second}};
    // The text of a picture without notices ends with the format line.
    Region const Lines = TextRegion(ComposeSmall(Plain, 6 * Second));
    for(std::int64_t Time : {5 * Second, 6 * Second, 7 * Second, 10 * Second, 11 * Second, 17 * Second, 18 * Second})
    {
        auto const With = ComposeSmall(Noticed, Time);
        Region const Banner = Differences(ComposeSmall(Plain, Time), With);
        bool const Shown = Time >= 6 * Second && Time < 18 * Second;
        if(!Shown)
        {
            EXPECT_EQ(Banner.Count, 0u) << Time;
            continue;
        }
        // A line of its own under the format line, centred in the box,
        // capitals at least 16 pixels high so that a capture reads them.
        double const Sway = std::sin(2.0 * 3.14159265358979 * static_cast<double>(Time * 25 / Second) / 100.0) * SmallWidth / 6.0;
        double const BoxMiddle = SmallWidth / 2.0 + Sway;
        Region const Ink = [&] {
            Region Text;
            for(std::uint32_t Y = Banner.Top; Y <= Banner.Bottom; ++Y)
                for(std::uint32_t X = Banner.Left; X <= Banner.Right; ++X)
                    if(IsText(At(With, X, Y, SmallWidth * 4)))
                        Text.Add(X, Y);
            return Text;
        }();
        EXPECT_GT(Banner.Top, Lines.Bottom) << Time;
        EXPECT_LT(Banner.Bottom, SmallHeight - SmallHeight / 16) << Time;
        EXPECT_GE(Ink.Bottom - Ink.Top + 1, 16u) << Time;
        EXPECT_GT(Ink.Count, 300u) << Time;
        EXPECT_NEAR((Ink.Left + Ink.Right) / 2.0, BoxMiddle, 12.0) << Time;
    }
}

TEST(VideoFrameComposer, AnAdIsItsOwnColourAroundTheBoxAndSaysWhichItIs)
{
    auto Plain = DefaultParameters();
    auto Advert = Plain;
    Advert.Advert = AdvertIdentity{2, 3};
    Advert.BackgroundColor = 0x4B0082;
    auto const Without = ComposeSmall(Plain, 0);
    auto const With = ComposeSmall(Advert, 0);
    EXPECT_EQ(At(With, 5, 5, SmallWidth * 4), (Pixel{0x82, 0x00, 0x4B, 255}));
    EXPECT_EQ(At(With, SmallWidth - 1, SmallHeight - 1, SmallWidth * 4), (Pixel{0x82, 0x00, 0x4B, 255}));
    // The box keeps the variant's colour, the texts above stay where they were.
    EXPECT_EQ(At(With, 140, 60, SmallWidth * 4), At(Without, 140, 60, SmallWidth * 4));
    Region const Lines = TextRegion(Without);
    Region const Added = TextRegion(With);
    EXPECT_GT(Added.Bottom, Lines.Bottom + 16);
    // At frame 0 the box spans x 128 to 512 and y 45 to 315.
    for(std::uint32_t Y = SmallHeight / 8 + 1; Y <= Lines.Bottom; ++Y)
        for(std::uint32_t X = SmallWidth / 5 + 1; X < SmallWidth * 4 / 5 - 1; ++X)
            ASSERT_EQ(At(With, X, Y, SmallWidth * 4), At(Without, X, Y, SmallWidth * 4)) << X << "," << Y;
    // Ads are told apart from each other and from every variant by colour.
    for(std::uint32_t Number = 1; Number <= std::size(VideoMediaSource::AdvertColors); ++Number)
    {
        for(std::uint32_t Box : VideoMediaSource::BackgroundColors)
        {
            EXPECT_NE(VideoMediaSource::AdvertColor(Number), Box);
        }
        for(std::uint32_t Other = 1; Other < Number; ++Other)
        {
            EXPECT_NE(VideoMediaSource::AdvertColor(Number), VideoMediaSource::AdvertColor(Other));
        }
    }
}
