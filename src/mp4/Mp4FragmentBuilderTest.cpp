// SPDX-License-Identifier: GPL-2.0-or-later
#include "mp4/Mp4FragmentBuilder.h"

#include <gtest/gtest.h>

#include "base/HResultError.h"
#include "mp4/Mp4FragmentTiming.h"
#include "mp4/Mp4InitializationSegment.h"
#include "mp4/Mp4TestBytes.h"

using namespace Mp4;
using Mp4::Test::Hex;
using Mp4::Test::MdatOf;
using Mp4::Test::MoofOf;
using Mp4::Test::ReadU32;

TEST(FragmentBuilder, UnprotectedVideoFragment)
{
    auto Payload = Hex("00000004 65888400");
    auto const Fragment = FragmentBuilder::BuildVideo({76, 1, 75, 1, 2, FragmentBuilder::SyncSampleFlags}, Payload, VideoCodec::H264, nullptr);
    EXPECT_EQ(MoofOf(Fragment), Hex("00000068 6d6f6f66"
                                   "00000010 6d666864 00000000 0000004c"
                                   "00000050 74726166"
                                   "00000014 74666864 00020008 00000001 00000001"
                                   "00000010 74666474 00000000 0000004b"
                                   "00000024 7472756e 00000f01 00000001 00000070 00000001 00000008 02000000 00000002"));
    EXPECT_EQ(MdatOf(Fragment), Hex("00000010 6d646174 00000004 65888400"));

    // A 64-bit decode time takes tfdt version 1: 108 bytes, data offset 116.
    auto const Late = FragmentBuilder::BuildVideo({1, 1, 1ull << 32, 1, 0, FragmentBuilder::NonSyncVideoFlags}, Payload, VideoCodec::H264, nullptr);
    ASSERT_EQ(MoofOf(Late).size(), 108u);
    EXPECT_EQ(ReadU32(MoofOf(Late), 60), 0x01000000u) << "tfdt version 1";
    EXPECT_EQ(ReadU32(MoofOf(Late), 88), 116u);
    EXPECT_EQ(ReadU32(MoofOf(Late), 100), 0x01010000u);

    // A B-frame presenting before the run's first frame is signed, in trun version 1.
    auto const Reordered = FragmentBuilder::BuildVideo({2, 1, 2, 1, -1, FragmentBuilder::NonSyncVideoFlags}, Payload, VideoCodec::H264, nullptr);
    EXPECT_EQ(ReadU32(MoofOf(Reordered), 76), 0x01000F01u);
    EXPECT_EQ(ReadU32(MoofOf(Reordered), 100), 0xFFFFFFFFu);
}

TEST(FragmentBuilder, UnprotectedAudioFragment)
{
    auto Payload = Hex("21 10 05");
    auto const Fragment = FragmentBuilder::BuildAudio({3, 1, 96000, 1024, 0, 0}, Payload, nullptr);
    EXPECT_EQ(MoofOf(Fragment), Hex("00000064 6d6f6f66"
                                   "00000010 6d666864 00000000 00000003"
                                   "0000004c 74726166"
                                   "00000014 74666864 00020008 00000001 00000400"
                                   "00000010 74666474 00000000 00017700"
                                   "00000020 7472756e 00000701 00000001 0000006c 00000400 00000003 00000000"));
    EXPECT_EQ(MdatOf(Fragment), Hex("0000000b 6d646174 211005"));
}

TEST(FragmentTiming, ScaleRoundsHalvesUp)
{
    EXPECT_EQ(FragmentTiming::Scale(30'000'000, 25), 75);
    EXPECT_EQ(FragmentTiming::Scale(10'010'000, 30000), 30030);
    EXPECT_EQ(FragmentTiming::Scale(333'667, 30000), 1001);        // 1001.001
    EXPECT_EQ(FragmentTiming::Scale(200'000, 25), 1);              // 0.5 goes up
    EXPECT_EQ(FragmentTiming::Scale(-200'000, 25), 0);             // -0.5 goes up too
    EXPECT_EQ(FragmentTiming::Scale(-800'000, 25), -2);
    EXPECT_EQ(FragmentTiming::Scale(10'000'000ll << 30, 48000), 48000ll << 30) << "the product does not fit in 64 bits";
}

TEST(FragmentTiming, ReorderedRunsStartAtTheirFirstPictureAndNeverDecodeAPictureAfterItShows)
{
    // Decode order I0 P4 B2 b1 b3 P8 B6 b5 b7 at 25 fps, decode timestamps
    // two frames early as x264 gives them with B-pyramids.
    std::int64_t const Frame = 400'000;
    struct Picture
    {
        std::int64_t Pts, Dts;
    } const Run[] = {{0, -2}, {4, -1}, {2, 0}, {1, 1}, {3, 2}, {8, 3}, {6, 4}, {5, 5}, {7, 6}};
    for(std::int64_t const First : {0, 75})
    {
        VideoFragmentTiming Timing(25, 1, First * Frame, (First - 2) * Frame);
        // A frame of 3 ticks leaves room to make up the two frames of lag.
        ASSERT_EQ(Timing.GetTimescale(), 75u);
        ASSERT_EQ(Timing.GetFrameDuration(), 3u);
        std::vector<std::uint64_t> DecodeTimes;
        for(auto const& Sample : Run)
        {
            auto const Result = Timing.Next((First + Sample.Pts) * Frame, (First + Sample.Dts) * Frame);
            EXPECT_GE(Result.m_CompositionOffset, 0) << Sample.Pts;
            EXPECT_EQ(static_cast<std::int64_t>(Result.m_DecodeTime) + Result.m_CompositionOffset, 3 * (First + Sample.Pts)) << "on the frame grid";
            DecodeTimes.push_back(Result.m_DecodeTime - 3 * First);
        }
        EXPECT_EQ(DecodeTimes, (std::vector<std::uint64_t>{0, 1, 2, 3, 6, 9, 12, 15, 18})) << First;
    }

    // Key-frame-only rows keep the timescale of their frame rate.
    VideoFragmentTiming KeyFramesOnly(1, 1, 60'000'000, 60'000'000);
    EXPECT_EQ(KeyFramesOnly.GetTimescale(), 1u);
    EXPECT_EQ(KeyFramesOnly.Next(60'000'000, 60'000'000).m_DecodeTime, 6u);
    EXPECT_EQ(KeyFramesOnly.Next(70'000'000, 70'000'000).m_DecodeTime, 7u);

    EXPECT_THROW(VideoFragmentTiming(25, 1, 0, -17 * Frame), HResultError) << "more reordering than any encoder does";
}

TEST(InitializationSegment, MovieWithOneTrack)
{
    InitializationSegment::Track Track{TrackKind::Audio, 48000};
    Track.m_TrakBox.SetPresent();
    Track.m_TrexBox.SetPresent();
    Track.m_TrexBox.m_TrackId = 1;
    ProtectionSettings Clear;
    auto const Segment = InitializationSegment::Build({Track}, Clear);
    ASSERT_EQ(Segment.size(), 36u + 8 + 108 + 8 + 8 + 48);
    EXPECT_EQ(std::vector<std::uint8_t>(Segment.begin(), Segment.begin() + 36),
              Hex("00000024 66747970 69736f6d 00000000 69736f38 6d703431 64617368 61766331 636d6663")) << "ftyp";
    EXPECT_EQ(ReadU32(Segment, 36), Segment.size() - 36) << "moov";
    EXPECT_EQ(ReadU32(Segment, 44 + 20), 48000u) << "movie timescale";
    EXPECT_EQ(ReadU32(Segment, 44 + 104), 2u) << "next_track_ID";
    EXPECT_EQ(std::vector<std::uint8_t>(Segment.begin() + 160, Segment.begin() + 180), Hex("00000038 6d766578 00000010 6d656864 00000000"));
}
