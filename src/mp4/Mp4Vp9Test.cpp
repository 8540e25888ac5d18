// SPDX-License-Identifier: GPL-2.0-or-later
#include <gtest/gtest.h>

#include "base/HResultError.h"
#include "mp4/Mp4StructureBoxes.h"
#include "mp4/Mp4SubsampleLayout.h"
#include "mp4/Mp4TestBytes.h"
#include "mp4/Mp4Vp9CodecRecord.h"
#include "mp4/Mp4Vp9FrameHeader.h"

using namespace Mp4;
using Mp4::Test::Hex;
using Mp4::Test::Serialise;

namespace
{
// Frames of real libvpx streams, as ffmpeg's trace_headers reads them. Whole:
// a 512×64 grey key frame and the inter frame after it (2 tile columns,
// unknown colour space). Their first bytes only (the uncompressed header):
// 720p25 key and inter frames like ours (BT.601 as SMPTE 170M, limited
// range), 1080p30 profile 2 at 10 bits (BT.2020, full range), 320×240p30
// profile 1 4:4:4 (BT.709) and RGB.
auto const GreyKey = Hex("82498342001ff003f60638241c183e100010 4000 0000000e 6b38f7a69b004e0a701d12bb0580 6b38f7a69b004e0a701d12bb0580");
auto const GreyInter = Hex("860040929c404f01000180 700000 00000004 5a20c000 5a20c000");
auto const OursKey = Hex("82498342604ff02cf60638241c183e1005785ff9efbf57e6");
auto const OursInter = Hex("86004092f1013c0400d87fbc5fe2ffe8fd1771c06baf79dd");
auto const Profile2Key = Hex("92498342583bf821bb031c120e0c270c03005f7fa7fc37f9");
auto const Profile1Key = Hex("a249834240027e01dec0c704838307c002165fcdf7fbfcdf");
auto const RgbKey = Hex("a2498342e013f00ef60638241c183e0012205f7fbfe8fbf5");
} // namespace

TEST(Vp9FrameHeader, FieldsAndHeaderSizesOfRealFrames)
{
    struct Case
    {
        char const* Name;
        std::vector<std::uint8_t> const& Frame;
        std::optional<std::uint32_t> ReferenceWidth;
        bool Key;
        std::uint8_t Profile, BitDepth, ColorSpace;
        bool FullRange;
        std::uint8_t SubsamplingX, SubsamplingY;
        std::uint32_t Width, Height;
        std::uint8_t TileColumnsLog2;
        std::size_t Uncompressed, Compressed;
    };
    for(auto const& Value : {
            Case{"grey key", GreyKey, std::nullopt, true, 0, 8, 0, false, 1, 1, 512, 64, 1, 18, 2},
            Case{"grey inter", GreyInter, 512, false, 0, 8, 1, false, 1, 1, 512, 0, 1, 11, 3},
            Case{"ours key", OursKey, std::nullopt, true, 0, 8, 3, false, 1, 1, 1280, 720, 1, 18, 350},
            Case{"ours inter", OursInter, 1280, false, 0, 8, 1, false, 1, 1, 1280, 0, 1, 10, 216},
            Case{"profile 2", Profile2Key, std::nullopt, true, 2, 10, 5, true, 1, 1, 1920, 1080, 2, 18, 384},
            Case{"profile 1", Profile1Key, std::nullopt, true, 1, 8, 2, false, 0, 0, 320, 240, 0, 18, 267},
            Case{"RGB", RgbKey, std::nullopt, true, 1, 8, 7, true, 0, 0, 320, 240, 0, 18, 290},
        })
    {
        auto const Header = Vp9FrameHeader::Read(Value.Frame, Value.ReferenceWidth);
        EXPECT_EQ(Header.m_KeyFrame, Value.Key) << Value.Name;
        EXPECT_TRUE(Header.m_ShowFrame && !Header.m_ShowExistingFrame && !Header.m_IntraOnly) << Value.Name;
        EXPECT_EQ(Header.m_Profile, Value.Profile) << Value.Name;
        EXPECT_EQ(Header.m_BitDepth, Value.BitDepth) << Value.Name;
        EXPECT_EQ(Header.m_ColorSpace, Value.ColorSpace) << Value.Name;
        EXPECT_EQ(Header.m_FullRange, Value.FullRange) << Value.Name;
        EXPECT_EQ(Header.m_SubsamplingX, Value.SubsamplingX) << Value.Name;
        EXPECT_EQ(Header.m_SubsamplingY, Value.SubsamplingY) << Value.Name;
        EXPECT_EQ(Header.m_Width, Value.Width) << Value.Name;
        EXPECT_EQ(Header.m_Height, Value.Height) << Value.Name;
        EXPECT_EQ(Header.m_TileColumnsLog2, Value.TileColumnsLog2) << Value.Name;
        EXPECT_EQ(Header.m_TileRowsLog2, 0u) << Value.Name;
        EXPECT_EQ(Header.m_UncompressedHeaderSize, Value.Uncompressed) << Value.Name;
        EXPECT_EQ(Header.m_CompressedHeaderSize, Value.Compressed) << Value.Name;
    }
    // A frame shown again is one byte.
    auto const Again = Vp9FrameHeader::Read(Hex("8b"));
    EXPECT_TRUE(Again.m_ShowExistingFrame && Again.m_ShowFrame);
    EXPECT_EQ(Again.m_UncompressedHeaderSize, 1u);
    EXPECT_TRUE(Again.FindTiles(Hex("8b")).empty());
}

TEST(Vp9FrameHeader, RefusesBrokenFramesAndInterFramesWithoutTheirWidth)
{
    auto WrongSync = GreyKey;
    WrongSync[3] ^= 0x01;
    auto EmptyCompressedHeader = GreyKey;
    EmptyCompressedHeader[15] &= 0xF8; // header_size_in_bytes runs over bits 125 to 140
    EmptyCompressedHeader[16] = 0;
    EmptyCompressedHeader[17] &= 0x07;
    for(auto const& Frame : {Hex("c2498342"), WrongSync, std::vector<std::uint8_t>(GreyKey.begin(), GreyKey.begin() + 17), EmptyCompressedHeader, Hex("")})
        EXPECT_THROW(Vp9FrameHeader::Read(Frame), HResultError) << Frame.size();
    EXPECT_THROW(Vp9FrameHeader::Read(GreyInter), HResultError) << "its size is its reference's";
}

TEST(Vp9FrameHeader, TilesAndSuperframes)
{
    auto const Tiles = Vp9FrameHeader::Read(GreyKey).FindTiles(GreyKey);
    ASSERT_EQ(Tiles.size(), 2u);
    EXPECT_EQ(Tiles[0].m_Offset, 24u) << "after both headers and the first tile's size";
    EXPECT_EQ(Tiles[0].m_Length, 14u);
    EXPECT_EQ(Tiles[1].m_Offset, 38u);
    EXPECT_EQ(Tiles[1].m_Length, 14u);
    auto Overlong = GreyKey;
    Overlong[22] = 1;
    EXPECT_THROW(Vp9FrameHeader::Read(Overlong).FindTiles(Overlong), HResultError);

    // Two frames packed with an index of one-byte sizes: 110 00 001.
    std::vector<std::uint8_t> Superframe = GreyKey;
    Superframe.insert(Superframe.end(), GreyInter.begin(), GreyInter.end());
    auto const Index = Hex("c1 34 1a c1");
    Superframe.insert(Superframe.end(), Index.begin(), Index.end());
    EXPECT_TRUE(Vp9FrameHeader::HasSuperframeIndex(Superframe));
    for(auto const& Frame : {GreyKey, GreyInter, Hex("c1"), Hex("00 c1 1a c1")})
        EXPECT_FALSE(Vp9FrameHeader::HasSuperframeIndex(Frame)) << Frame.size();
}

TEST(CodecRecord, Vp9RecordDescribesTheTrackFromTheFirstKeyFrame)
{
    struct Case
    {
        std::vector<std::uint8_t> const& Frame;
        VideoFormat Format;
        char const* Codecs;
    };
    for(auto const& Value : {
            Case{OursKey, {1280, 720, 25, 1}, "vp09.00.31.08.00.01.01.06.00"},
            Case{Profile2Key, {1920, 1080, 30, 1}, "vp09.02.40.10.00.01.01.09.01"},
            Case{Profile1Key, {320, 240, 30, 1}, "vp09.01.20.08.03.01.01.01.00"},
            Case{RgbKey, {320, 240, 30, 1}, "vp09.01.20.08.03.01.01.00.01"},
            Case{GreyKey, {512, 64, 25, 1}, "vp09.00.10.08.00.02.02.02.00"},
        })
    {
        Vp9CodecRecord Record;
        Record.CollectKeyFrame(Value.Frame, Value.Format);
        EXPECT_EQ(Record.GetCodecsString(), Value.Codecs);
    }

    Vp9CodecRecord Record;
    EXPECT_EQ(Record.GetCodecsString(), "");
    StsdBox Stsd;
    EXPECT_THROW(Record.InitializeSampleEntry(Stsd, VideoFormat{1280, 720, 25, 1}), HResultError) << "no key frame yet";
    EXPECT_THROW(Record.CollectKeyFrame(OursInter, VideoFormat{1280, 720, 25, 1}), HResultError);
    Record.CollectKeyFrame(OursKey, VideoFormat{1280, 720, 25, 1});
    Record.InitializeSampleEntry(Stsd, VideoFormat{1280, 720, 25, 1});
    auto const Entry = Serialise(Stsd.m_Vp09Box);
    EXPECT_EQ(std::vector<std::uint8_t>(Entry.begin() + 4, Entry.begin() + 8), Hex("76703039")) << "vp09";
    EXPECT_EQ(Entry[8 + 42], 10) << "compressor name length";
    EXPECT_EQ(std::string(Entry.begin() + 8 + 43, Entry.begin() + 8 + 53), "VPC Coding");
    // Version 1; profile 0, level 3.1, 8 bits, 4:2:0, limited range; BT.709
    // primaries and transfer, SMPTE 170M matrix; no initialisation data.
    EXPECT_EQ(Serialise(Stsd.m_Vp09Box.m_VpccBox), Hex("00000014 76706343 01000000 00 1f 80 01 01 06 0000"));
}

TEST(CodecRecord, Vp9LevelsFollowThePictureSizeAndRate)
{
    struct Case
    {
        std::uint32_t Width, Height, Rate;
        std::uint8_t Level;
    };
    for(auto const& Value : {
            Case{1280, 720, 25, 31},   // 23 M samples a second: past level 3's 20.7 M
            Case{1280, 720, 30, 31},
            Case{960, 540, 1, 30},     // 518,400 samples a picture: past level 2.1's 245,760
            Case{640, 360, 25, 21},
            Case{480, 270, 25, 21},
            Case{2048, 64, 25, 30},    // level 2.1 is 1,344 samples across at most
            Case{1920, 1080, 60, 41},
            Case{3840, 2160, 60, 51},
            Case{16384, 16384, 120, 62}, // past every level: the highest
        })
        EXPECT_EQ(Vp9CodecRecord::GetLevel(Value.Width, Value.Height, Value.Rate, 1), Value.Level) << Value.Width << "x" << Value.Height << "@" << Value.Rate;
    EXPECT_EQ(Vp9CodecRecord::GetLevel(1920, 1080, 30000, 1001), 40);
}

// The uncompressed header stays clear; the rest is protected in whole blocks
// behind the bytes that do not fill one, under either scheme.
TEST(SubsampleLayout, Vp9FramesKeepTheirUncompressedHeaderClear)
{
    for(auto const Scheme : {ProtectionScheme::Cenc, ProtectionScheme::Cbcs})
    {
        // 52 bytes: 18 of header, 34 after it: 2 clear, 32 protected.
        auto const Key = SubsampleLayout::FindProtectedRanges(VideoCodec::Vp9, Scheme, GreyKey, 512);
        ASSERT_EQ(Key.size(), 1u);
        EXPECT_EQ(Key[0].m_Offset, 20u);
        EXPECT_EQ(Key[0].m_Length, 32u);
        // 26 bytes: 11 of header, 15 after it, less than a block.
        EXPECT_TRUE(SubsampleLayout::FindProtectedRanges(VideoCodec::Vp9, Scheme, GreyInter, 512).empty());
        EXPECT_THROW(SubsampleLayout::FindProtectedRanges(VideoCodec::Vp9, Scheme, Hex("c2498342")), HResultError);
    }
}
