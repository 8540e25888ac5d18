// SPDX-License-Identifier: GPL-2.0-or-later
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "media/VideoFrameComposer.h"

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

// A 640x360 picture (the smallest a player test captures) at Time.
std::vector<std::uint8_t> Small(VideoFrameComposer::Parameters Value, std::int64_t Time)
{
    Value.Width = 640;
    Value.Height = 360;
    VideoFrameComposer Composer(Value);
    std::vector<std::uint8_t> Frame(640 * 4 * 360);
    Composer.Compose(Time / 400000, Time, Frame.data(), 640 * 4);
    return Frame;
}

// The first and last rows where two pictures differ; none: {360, 0}.
std::pair<std::uint32_t, std::uint32_t> ChangedRows(std::vector<std::uint8_t> const& First, std::vector<std::uint8_t> const& Second)
{
    std::pair<std::uint32_t, std::uint32_t> Rows{360, 0};
    for(std::uint32_t Y = 0; Y < 360; ++Y)
        if(!std::equal(First.begin() + Y * 640 * 4, First.begin() + (Y + 1) * 640 * 4, Second.begin() + Y * 640 * 4))
            Rows = {std::min(Rows.first, Y), Y};
    return Rows;
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

TEST(VideoFrameComposer, BreakNoticesAndAdsAddBoldLinesBelowTheOthers)
{
    constexpr std::int64_t Second = 10'000'000;
    // The plain picture's texts end at row 254 (the format line), at any sway.
    constexpr std::uint32_t TextBottom = 254;
    auto const Plain = DefaultParameters();
    auto Noticed = Plain;
    Noticed.BreakNotices = {{1, 10 * Second, 8 * Second}};
    // The first picture of the countdown, of the break, the last of the break.
    for(std::int64_t Time : {6 * Second, 10 * Second, 18 * Second - 400'000})
    {
        auto const [Top, Bottom] = ChangedRows(Small(Plain, Time), Small(Noticed, Time));
        // Capitals of at least 16 rows: they read on a 640x360 capture.
        EXPECT_GT(Top, TextBottom) << Time;
        EXPECT_GE(Bottom - Top, 16u) << Time;
        EXPECT_LT(Bottom, 340u) << Time;
    }
    // An ad: its colour all round the box, its line below the others.
    auto Coloured = Plain;
    Coloured.BackgroundColor = 0x4B0082;
    auto Advert = Coloured;
    Advert.Advert = AdvertIdentity{2, 3};
    auto const Frame = Small(Advert, 0);
    auto const [Top, Bottom] = ChangedRows(Small(Coloured, 0), Frame);
    EXPECT_GT(Top, TextBottom);
    EXPECT_GE(Bottom - Top, 16u);
    EXPECT_EQ(At(Frame, 639, 0, 640 * 4), (Pixel{0x82, 0x00, 0x4B, 255}));
}

TEST(VideoFrameComposer, TheChangeLineGoesBelowTheOthersAndStaysInThePicture)
{
    constexpr std::int64_t Second = 10'000'000;
    constexpr std::uint32_t TextBottom = 254;
    auto const Plain = DefaultParameters();
    auto const With = [&](std::string Text, std::vector<BreakNotice> Breaks = {}) {
        auto Value = Plain;
        Value.Change = ChangeNotice{3, std::move(Text)};
        Value.BreakNotices = std::move(Breaks);
        return Value;
    };
    // An empty line draws nothing.
    EXPECT_EQ(Small(With(""), 0), Small(Plain, 0));
    // Alone, where the break line would go; the longest line allowed, at the
    // middle and at either end of the sway, whole inside the picture.
    std::string const Longest = "DISC 4294967295 KEY 4294967295 AV1 1920x1080@60";
    ASSERT_LE(Longest.size(), ChangeNotice::MaximalTextLength);
    for(auto const& Text : {std::string("DISC 3 KEY 2 HEVC 640x360"), Longest})
        for(std::int64_t Time : {std::int64_t{0}, Second, 3 * Second})
        {
            auto const Plainly = Small(Plain, Time);
            auto const Changed = Small(With(Text), Time);
            auto const [Top, Bottom] = ChangedRows(Plainly, Changed);
            EXPECT_GT(Top, TextBottom) << Text << " at " << Time;
            EXPECT_GE(Bottom - Top, Text == Longest ? 10u : 16u) << Text << " at " << Time;
            EXPECT_LT(Bottom, 300u) << Text << " at " << Time;
            // No text pixel at the picture's left and right edges.
            for(std::uint32_t Y = Top; Y <= Bottom; ++Y)
                for(std::uint32_t X : {0u, 1u, 638u, 639u})
                    ASSERT_EQ(At(Changed, X, Y, 640 * 4), At(Plainly, X, Y, 640 * 4)) << Text << " at " << Time;
        }
    // With a break notice: the break line first, the change line below it.
    std::vector<BreakNotice> const Break{{1, 10 * Second, 8 * Second}};
    auto Noticed = Plain;
    Noticed.BreakNotices = Break;
    auto const BreakRows = ChangedRows(Small(Plain, 12 * Second), Small(Noticed, 12 * Second));
    auto const ChangeRows = ChangedRows(Small(Noticed, 12 * Second), Small(With("DISC 3", Break), 12 * Second));
    EXPECT_GT(ChangeRows.first, BreakRows.second);
    EXPECT_GE(ChangeRows.second - ChangeRows.first, 16u);
    EXPECT_LT(ChangeRows.second, 340u);
}
