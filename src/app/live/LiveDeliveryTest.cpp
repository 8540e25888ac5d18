// SPDX-License-Identifier: GPL-2.0-or-later
// The pieces that pace a live segment: cutting its bytes into fragments
// however they arrive, reading a chunked body, and when each fragment is due.
#include "app/answers/ChunkedBodyReader.h"
#include "app/live/FragmentSchedule.h"
#include "app/live/FragmentSplitter.h"

#include <gtest/gtest.h>

#include "presentation/DefaultVariantSets.h"

using namespace Application;

namespace
{
std::string Box(std::string_view Type, std::size_t PayloadSize, char Fill = 'x')
{
    std::uint32_t const Size = static_cast<std::uint32_t>(8 + PayloadSize);
    std::string Text{static_cast<char>(Size >> 24), static_cast<char>(Size >> 16), static_cast<char>(Size >> 8), static_cast<char>(Size)};
    return Text + std::string(Type) + std::string(PayloadSize, Fill);
}

// A box with a 64-bit size ("largesize").
std::string LargeBox(std::string_view Type, std::size_t PayloadSize)
{
    std::uint64_t const Size = 16 + PayloadSize;
    std::string Text{0, 0, 0, 1};
    Text += Type;
    for(int Shift = 56; Shift >= 0; Shift -= 8)
        Text += static_cast<char>(Size >> Shift);
    return Text + std::string(PayloadSize, 'L');
}

std::vector<std::string> Split(std::string const& Segment, std::size_t PieceSize)
{
    FragmentSplitter Splitter;
    std::vector<std::string> Fragments;
    for(std::size_t Offset = 0; Offset < Segment.size(); Offset += PieceSize)
        for(auto& Fragment : Splitter.Append(std::string_view(Segment).substr(Offset, PieceSize)))
            Fragments.push_back(std::move(Fragment));
    for(auto& Fragment : Splitter.Finish())
        Fragments.push_back(std::move(Fragment));
    return Fragments;
}

std::string Chunked(std::string const& Payload, std::size_t ChunkSize, std::string_view Extension = "")
{
    std::string Text;
    for(std::size_t Offset = 0; Offset < Payload.size(); Offset += ChunkSize)
    {
        auto const Piece = Payload.substr(Offset, ChunkSize);
        char Size[32];
        std::snprintf(Size, sizeof Size, "%zX", Piece.size());
        Text += std::string(Size) + std::string(Extension) + "\r\n" + Piece + "\r\n";
    }
    return Text + "0\r\n\r\n";
}

std::string ReadInPieces(std::string const& Body, std::size_t PieceSize, ChunkedBodyReader& Reader)
{
    std::string Payload;
    for(std::size_t Offset = 0; Offset < Body.size(); Offset += PieceSize)
        Payload += Reader.Read(std::string_view(Body).substr(Offset, PieceSize));
    return Payload;
}
} // namespace

TEST(FragmentSplitter, EveryFragmentWholeHoweverTheBytesArrive)
{
    // A leading box goes with the first fragment; a fragment may hold more
    // than one box after its moof; a 64-bit size is read.
    std::string const First = Box("styp", 4) + Box("moof", 20, 'a') + Box("mdat", 300, 'A');
    std::string const Second = Box("moof", 20, 'b') + LargeBox("mdat", 70) + Box("free", 0);
    std::string const Third = Box("moof", 20, 'c') + Box("mdat", 1, 'C');
    std::string const Segment = First + Second + Third;
    for(std::size_t PieceSize : {std::size_t{1}, std::size_t{3}, std::size_t{8}, std::size_t{17}, Segment.size()})
        EXPECT_EQ(Split(Segment, PieceSize), (std::vector<std::string>{First, Second, Third})) << PieceSize;
}

TEST(FragmentSplitter, AFragmentIsCompleteOnlyWhenTheNextOneBegins)
{
    FragmentSplitter Splitter;
    std::string const First = Box("moof", 10) + Box("mdat", 10);
    EXPECT_TRUE(Splitter.Append(First).empty());
    // The next moof's header, not yet its body, completes the first.
    EXPECT_EQ(Splitter.Append(Box("moof", 10).substr(0, 8)), std::vector<std::string>{First});
    EXPECT_EQ(Splitter.Finish(), std::vector<std::string>{Box("moof", 10).substr(0, 8)});
    EXPECT_TRUE(Splitter.Finish().empty());
}

TEST(FragmentSplitter, ABoxThatRunsToTheEndEndsTheCutting)
{
    // Size 0 (to the end) or a size below a header: what follows is not cut.
    for(std::string const& Odd : {std::string("\0\0\0\0mdat", 8), std::string("\0\0\0\4mdat", 8)})
    {
        std::string const Segment = Box("moof", 4) + Odd + Box("moof", 4) + Box("mdat", 4);
        EXPECT_EQ(Split(Segment, 5), std::vector<std::string>{Segment});
    }
}

TEST(ChunkedBodyReader, PayloadHoweverTheBytesArrive)
{
    std::string Payload;
    for(int Index = 0; Index < 700; ++Index)
        Payload += static_cast<char>('a' + Index % 26);
    for(std::string_view Extension : {"", ";name=value"})
        for(std::size_t PieceSize : {std::size_t{1}, std::size_t{2}, std::size_t{7}, std::size_t{5000}})
        {
            ChunkedBodyReader Reader;
            std::string const Body = Chunked(Payload, 64, Extension) + "after the end";
            EXPECT_EQ(ReadInPieces(Body, PieceSize, Reader), Payload) << PieceSize;
            EXPECT_TRUE(Reader.Ended());
            EXPECT_FALSE(Reader.Failed());
        }
    ChunkedBodyReader WithTrailer;
    EXPECT_EQ(WithTrailer.Read("3\r\nabc\r\n0\r\nName: value\r\n\r\n"), "abc");
    EXPECT_TRUE(WithTrailer.Ended());
}

TEST(ChunkedBodyReader, WhatDoesNotParseEndsTheBody)
{
    for(std::string_view Body : {"3\r\nabcX\r\n4\r\ndefg\r\n", "g\r\nabc\r\n", "\r\nabc\r\n", "3\nabc\r\n", "3 \r\nabc\r\n"})
    {
        ChunkedBodyReader Reader;
        auto const Payload = Reader.Read(Body);
        EXPECT_TRUE(Reader.Failed()) << Body;
        EXPECT_LE(Payload.size(), 3u) << Body;
        EXPECT_EQ(Reader.Read("3\r\nmore\r\n"), "");
    }
    ChunkedBodyReader Endless;
    EXPECT_EQ(Endless.Read(std::string(5000, '1')), "");
    EXPECT_TRUE(Endless.Failed());
}

namespace
{
constexpr std::int64_t Second = 10'000'000;
constexpr std::int64_t Base = 133'485'408'000'000'000; // 2024-01-01T00:00:00Z
} // namespace

TEST(FragmentSchedule, EachPictureIsDueWhenItEnds)
{
    DefaultVariantSets const Defaults;
    auto const& Video = Defaults.H264.VideoVariants.front(); // 3 s at 25/1
    auto const Schedule = FragmentSchedule::ForVideo(Video, 2, Base);
    EXPECT_EQ(Schedule.Start(), Base + 6 * Second);
    EXPECT_EQ(Schedule.End(), Base + 9 * Second);
    EXPECT_EQ(Schedule.DueTime(0), Base + 6 * Second + 400'000);
    EXPECT_EQ(Schedule.DueTime(74), Base + 9 * Second);
    EXPECT_EQ(Schedule.DueTime(500), Base + 9 * Second); // never after the end
    // A run from picture 25 on: its first picture is the segment's 26th.
    auto const Part = Schedule.From(25);
    EXPECT_EQ(Part.Start(), Base + 7 * Second);
    EXPECT_EQ(Part.DueTime(0), Schedule.DueTime(25));
    EXPECT_EQ(Part.End(), Schedule.End());

    // AAC: segment 1 of 6 s holds the 1024-sample frames that start in
    // [6 s, 12 s): from frame 282 (288000 / 1024 = 281.25) on.
    auto const& Audio = Defaults.H264.AudioVariants.front();
    auto const Sound = FragmentSchedule::ForAudio(Audio, 1, Base);
    EXPECT_EQ(Sound.Start(), Base + 6 * Second);
    EXPECT_EQ(Sound.DueTime(0), Base + 283 * 1024 * Second / 48'000);
    EXPECT_EQ(Sound.DueTime(281), Base + 12 * Second); // the last frame ends after the segment
    auto const Flac = FragmentSchedule::ForAudio(Audio.FlacAlternative(), 0, Base);
    EXPECT_EQ(Flac.DueTime(0), Base + 4096 * Second / 48'000);
}
