// SPDX-License-Identifier: GPL-2.0-or-later
#include <gtest/gtest.h>

#include "base/HResultError.h"
#include "mp4/Mp4AacCodecRecord.h"
#include "mp4/Mp4Ac3CodecRecord.h"
#include "mp4/Mp4Ec3CodecRecord.h"
#include "mp4/Mp4FlacCodecRecord.h"
#include "mp4/Mp4H264CodecRecord.h"
#include "mp4/Mp4HevcCodecRecord.h"
#include "mp4/Mp4OpusCodecRecord.h"
#include "mp4/Mp4StructureBoxes.h"
#include "mp4/Mp4TestBytes.h"
#include "mp4/Mp4TestEncoders.h"
#include "mp4/Mp4TrackBuilder.h"

using namespace Mp4;
using Mp4::Test::Hex;
using Mp4::Test::ReadU32;
using Mp4::Test::Serialise;

namespace
{
// Parameter sets of a 1280x720 Main profile stream and a 320x240 Main 10
// stream made by libx265 (Annex B payloads, emulation prevention included).
auto const HevcVideoParameterSet = Hex("40010c01ffff01600000030090000003000003005d959809");
auto const HevcMainSequenceParameterSet = Hex("42010101600000030090000003000003005da00280802d165959a4932bc05a020000030002000003003c10");
auto const HevcMain10SequenceParameterSet = Hex("42010102200000030090000003000003003ca00a080f1365959a4932bc05a020000003002000000303c1");
auto const HevcPictureParameterSet = Hex("4401c172b46240");

// What follows a box's 8-byte header.
std::vector<std::uint8_t> Content(std::vector<std::uint8_t> const& Box) { return {Box.begin() + 8, Box.end()}; }

std::size_t Find(std::vector<std::uint8_t> const& Bytes, std::vector<std::uint8_t> const& Pattern)
{
    auto const Iterator = std::search(Bytes.begin(), Bytes.end(), Pattern.begin(), Pattern.end());
    return Iterator == Bytes.end() ? std::string::npos : static_cast<std::size_t>(Iterator - Bytes.begin());
}

AudioFormat StereoAac(std::vector<std::uint8_t> AudioSpecificConfig) { return AudioFormat{48000, 2, 128000, std::move(AudioSpecificConfig)}; }
} // namespace

TEST(CodecRecord, H264NeedsExactlyOneParameterSetOfEachKind)
{
    auto const Sample = Hex("00000001 6764001f 00000001 68ebe3cb 00000001 65888400");
    VideoFormat const Format{1280, 720, 25, 1};
    H264CodecRecord Record;
    Record.CollectParameterSets(SplitAnnexB(Sample));
    EXPECT_EQ(Record.GetCodecsString(), "avc1.64001f");
    StsdBox Stsd;
    // A High profile record reads the chroma format from the SPS, which is cut short here.
    EXPECT_THROW(Record.InitializeSampleEntry(Stsd, Format), HResultError);

    H264CodecRecord Twice;
    Twice.CollectParameterSets(SplitAnnexB(Sample));
    Twice.CollectParameterSets(SplitAnnexB(Sample));
    EXPECT_THROW(Twice.InitializeSampleEntry(Stsd, Format), HResultError);
    EXPECT_EQ(Twice.GetCodecsString(), "");
    H264CodecRecord None;
    None.CollectParameterSets(SplitAnnexB(Hex("00000001 65888400")));
    EXPECT_THROW(None.InitializeSampleEntry(Stsd, Format), HResultError);
}

// Parameter sets of 320x240 streams made by libx264: High (4:2:0, 8 bits),
// High 4:2:2 at 10 bits, and Constrained Baseline.
TEST(CodecRecord, H264RecordOfHighProfilesEndsWithChromaFormatAndBitDepths)
{
    auto Avcc = [](char const* SequenceParameterSet, char const* PictureParameterSet) {
        H264CodecRecord Record;
        Record.m_SequenceParameterSetVector = {Hex(SequenceParameterSet)};
        Record.m_PictureParameterSetVector = {Hex(PictureParameterSet)};
        StsdBox Stsd;
        Record.InitializeSampleEntry(Stsd, VideoFormat{320, 240, 25, 1});
        auto const Entry = Serialise(Stsd.m_Avc1Box);
        EXPECT_EQ(std::vector<std::uint8_t>(Entry.begin() + 50, Entry.begin() + 61), Hex("0a 41564320436f64696e67")) << "compressor name";
        return std::vector<std::uint8_t>(Entry.begin() + 86, Entry.end());
    };
    // ISO/IEC 14496-15 5.3.3.1.2: profiles 100, 110, 122 and 144 add
    // chroma_format, bit_depth_luma_minus8, bit_depth_chroma_minus8 and
    // numOfSequenceParameterSetExt after the PPS list.
    EXPECT_EQ(Avcc("6764000dacd94141fb011000000300100000030320f1429960", "68ef8fcb"),
              Hex("00000034 61766343 01 64000d ff e1 0019 6764000dacd94141fb011000000300100000030320f1429960 01 0004 68ef8fcb fd f8 f8 00"));
    EXPECT_EQ(Avcc("677a000db6cd94141fb011000003000100000300320f142996", "68ef8fcb"),
              Hex("00000034 61766343 01 7a000d ff e1 0019 677a000db6cd94141fb011000003000100000300320f142996 01 0004 68ef8fcb fe fa fa 00"));
    EXPECT_EQ(Avcc("6742c00dda0507ec0440000003004000000c83c50aa8", "68ce0fc8"),
              Hex("0000002d 61766343 01 42c00d ff e1 0016 6742c00dda0507ec0440000003004000000c83c50aa8 01 0004 68ce0fc8"));
}

TEST(CodecRecord, HevcRecordAndCodecsStringFollowTheSequenceParameterSet)
{
    HevcCodecRecord Record;
    Record.m_VideoParameterSetVector = {HevcVideoParameterSet};
    Record.m_SequenceParameterSetVector = {HevcMainSequenceParameterSet};
    Record.m_PictureParameterSetVector = {HevcPictureParameterSet};
    EXPECT_EQ(Record.GetCodecsString(), "hvc1.1.6.L93.90");
    StsdBox Stsd;
    Record.InitializeSampleEntry(Stsd, VideoFormat{1280, 720, 30, 1});
    auto const Hvcc = Serialise(Stsd.m_Hvc1Box.m_HvccBox);
    EXPECT_EQ(std::vector<std::uint8_t>(Hvcc.begin() + 8, Hvcc.begin() + 8 + 23),
              Hex("01 01 60000000 900000000000 5d f000 fc fd f8 f8 1e00 0f 03")) << "Main, level 93, 4:2:0, 8 bits, 30 fps, nested";
    EXPECT_EQ(std::vector<std::uint8_t>(Hvcc.begin() + 31, Hvcc.begin() + 36), Hex("a0 0001 0018"));

    Record.m_SequenceParameterSetVector = {HevcMain10SequenceParameterSet};
    EXPECT_EQ(Record.GetCodecsString(), "hvc1.2.4.L60.90");
    Record.InitializeSampleEntry(Stsd, VideoFormat{320, 240, 30000, 1001});
    auto const Main10 = Serialise(Stsd.m_Hvc1Box.m_HvccBox);
    EXPECT_EQ(std::vector<std::uint8_t>(Main10.begin() + 8, Main10.begin() + 8 + 23), Hex("01 02 20000000 900000000000 3c f000 fc fd fa fa 1df8 0f 03"));

    Record.m_SequenceParameterSetVector = {Hex("4201 01 01 6000")};
    EXPECT_EQ(Record.GetCodecsString(), "") << "a truncated SPS gives no codecs string";
    EXPECT_THROW(Record.InitializeSampleEntry(Stsd, VideoFormat{320, 240, 30, 1}), HResultError);
}

TEST(CodecRecord, AacDescriptorTreeAndCodecsString)
{
    auto const Format = StereoAac(Hex("1210"));
    EXPECT_EQ(AacCodecRecord::GetCodecsString(Format), "mp4a.40.2");
    EXPECT_EQ(AacCodecRecord::GetCodecsString(StereoAac(Hex("2b8a"))), "mp4a.40.5");
    EXPECT_EQ(AacCodecRecord::MakeEsDescriptor(Format),
              Hex("03 801c 0000 00"
                  "   04 8012 40 15 000600 0001f400 0001f400"
                  "      05 8002 1210"
                  "   06 8001 02"));
    StsdBox Stsd;
    AacCodecRecord::InitializeSampleEntry(Stsd, Format);
    auto const Entry = Serialise(Stsd.m_Mp4aBox);
    EXPECT_EQ(std::vector<std::uint8_t>(Entry.begin() + 24, Entry.begin() + 36), Hex("0002 0010 0000 0000 bb800000")) << "2 channels, 16 bits, 48 kHz";

    EXPECT_THROW(AacCodecRecord::GetCodecsString(AudioFormat{48000, 2, 0, {}}), HResultError) << "no configuration";
    EXPECT_THROW(AacCodecRecord::GetCodecsString(StereoAac(Hex("12"))), HResultError);
}

TEST(CodecRecord, FlacStreamHeaderLengthIsTwentyFourBits)
{
    auto const StreamInfo = Hex("1000 1000 00000e 0025a1 0bb802f000000000 d41d8cd98f00b204e9800998ecf8427e");
    ASSERT_EQ(StreamInfo.size(), 34u);
    auto Header = Hex("664c6143 80000022");
    Header.insert(Header.end(), StreamInfo.begin(), StreamInfo.end());
    FlacCodecRecord Record;
    // The last-metadata flag is the top bit of the type byte, not of the length.
    Record.ParseStreamHeader(Header);
    EXPECT_EQ(Record.m_Header, StreamInfo);
    StsdBox Stsd;
    Record.InitializeSampleEntry(Stsd, AudioFormat{48000, 2, 0, {}});
    auto const Entry = Serialise(Stsd.m_FlacBox);
    EXPECT_EQ(std::vector<std::uint8_t>(Entry.begin() + 36, Entry.begin() + 52), Hex("00000032 64664c61 00000000 80000022"));

    FlacCodecRecord Refused;
    auto Truncated = Header;
    Truncated.pop_back();
    EXPECT_THROW(Refused.ParseStreamHeader(Truncated), HResultError);
    EXPECT_THROW(Refused.ParseStreamHeader(Hex("664c6143 800000")), HResultError);
    EXPECT_THROW(Refused.ParseStreamHeader(Hex("4f676753 80000000")), HResultError) << "not a FLAC stream";
    EXPECT_THROW(Refused.ParseStreamHeader(Hex("664c6143 84000000")), HResultError) << "first block is not STREAMINFO";
    EXPECT_THROW(Refused.InitializeSampleEntry(Stsd, AudioFormat{48000, 2, 0, {}}), HResultError);
}

// The records of Opus, AC-3 and E-AC-3 from what the encoders give, as the
// specific boxes lay out their fields (Opus in ISO BMFF 4.3.2, ETSI TS 102
// 366 F.4 and F.6).
TEST(CodecRecord, OpusAc3AndEc3RecordsFromEncoderOutput)
{
    AudioFormat const Stereo{48000, 2, 0, {}};
    OpusCodecRecord Opus;
    Opus.ParseIdentificationHeader(Mp4::Test::EncodeOpus(1).m_Header);
    StsdBox Stsd;
    Opus.InitializeSampleEntry(Stsd, Stereo);
    // Version 0, 2 channels, libopus's look-ahead of 6.5 ms (312) as pre-skip, 48 kHz, no gain, family 0.
    auto const OpusEntry = Serialise(Stsd.m_OpusBox);
    EXPECT_EQ(ReadU32(OpusEntry, 4), MakeFourCc("Opus"));
    EXPECT_EQ(std::vector<std::uint8_t>(OpusEntry.begin() + 36, OpusEntry.end()), Hex("00000013 644f7073 00 02 0138 0000bb80 0000 00"));

    // AC-3 at 192 kbit/s: 48 kHz (fscod 0), bsid 8, main service (bsmod 0),
    // L R (acmod 2), no LFE, bit_rate_code 10.
    Ac3CodecRecord Ac3;
    Ac3.ParseFrame(Mp4::Test::EncodeDolby(false, 1).m_FrameVector.front().m_Data);
    Ac3.InitializeSampleEntry(Stsd, Stereo);
    auto const Ac3Entry = Serialise(Stsd.m_Ac3Box);
    EXPECT_EQ(ReadU32(Ac3Entry, 4), MakeFourCc("ac-3"));
    EXPECT_EQ(std::vector<std::uint8_t>(Ac3Entry.begin() + 36, Ac3Entry.end()), Hex("0000000b 64616333 101140"));

    // E-AC-3 at 128 kbit/s: data_rate 128, one independent substream,
    // 48 kHz, bsid 16, bsmod 0, acmod 2, no LFE, no dependent substreams.
    Ec3CodecRecord Ec3;
    auto const Ec3Frame = Mp4::Test::EncodeDolby(true, 1).m_FrameVector.front().m_Data;
    Ec3.ParseFrame(Ec3Frame);
    Ec3.InitializeSampleEntry(Stsd, Stereo);
    auto const Ec3Entry = Serialise(Stsd.m_Ec3Box);
    EXPECT_EQ(ReadU32(Ec3Entry, 4), MakeFourCc("ec-3"));
    EXPECT_EQ(std::vector<std::uint8_t>(Ec3Entry.begin() + 36, Ec3Entry.end()), Hex("0000000d 64656333 0400 200400"));

    // Each refuses the other's frames and what is not a frame or header at all.
    Ac3CodecRecord Refused;
    EXPECT_THROW(Refused.ParseFrame(Ec3Frame), HResultError) << "bsid 16 is not AC-3";
    EXPECT_THROW(Refused.ParseFrame(Hex("0b77 0000")), HResultError) << "truncated";
    EXPECT_THROW(Refused.InitializeSampleEntry(Stsd, Stereo), HResultError);
    Ec3CodecRecord RefusedEc3;
    EXPECT_THROW(RefusedEc3.ParseFrame(Mp4::Test::EncodeDolby(false, 1).m_FrameVector.front().m_Data), HResultError);
    OpusCodecRecord RefusedOpus;
    auto Header = Mp4::Test::EncodeOpus(1).m_Header;
    Header[18] = 1;
    EXPECT_THROW(RefusedOpus.ParseIdentificationHeader(Header), HResultError) << "channel mapping family 1 needs a table";
    EXPECT_THROW(RefusedOpus.ParseIdentificationHeader(std::span(Header).first(18)), HResultError);
}

// The track of an Opus entry: one edit that starts the presentation
// pre-skip samples into the media, of a duration the fragments give; the
// roll group of 80 ms (four samples); no sync sample table.
TEST(CodecRecord, OpusTrackTakesOffThePreSkipOnceAndRollsBackFourSamples)
{
    OpusCodecRecord Opus;
    Opus.ParseIdentificationHeader(Mp4::Test::EncodeOpus(1).m_Header);
    StsdBox Stsd;
    Opus.InitializeSampleEntry(Stsd, AudioFormat{48000, 2, 0, {}});
    TrakBox Trak;
    TrexBox Trex;
    TrackBuilder::Build(1, TrackKind::Audio, 48000, 0, 0, Stsd, Trak, Trex);
    Opus.CompleteTrack(Trak);
    auto const Track = Content(Serialise(Trak));
    EXPECT_EQ(Find(Track, Hex("00000024 65647473 0000001c 656c7374 00000000 00000001 00000000 00000138 0001 0000")), 92u) << "edts after tkhd";
    EXPECT_NE(Find(Track, Hex("0000001a 73677064 01000000 726f6c6c 00000002 00000001 fffc 00000014 73626770 00000000 726f6c6c 00000000")),
              std::string::npos);
    EXPECT_EQ(Find(Track, Hex("73747373")), std::string::npos);
}

TEST(CodecRecord, TrackBoxesPerKind)
{
    StsdBox Stsd;
    AacCodecRecord::InitializeSampleEntry(Stsd, StereoAac(Hex("1190")));
    TrakBox Trak;
    TrexBox Trex;
    TrackBuilder::Build(2, TrackKind::Audio, 48000, 0, 0, Stsd, Trak, Trex);
    ASSERT_TRUE(Trak.IsPresent() && Trex.IsPresent());
    EXPECT_EQ(Content(Serialise(Trex)), Hex("00000000 00000002 00000001 00000000 00000000 00000000"));
    auto const Audio = Content(Serialise(Trak));
    EXPECT_EQ(ReadU32(Audio, 0), 92u) << "tkhd";
    EXPECT_EQ(ReadU32(Audio, 8), 1u) << "track enabled";
    EXPECT_EQ(ReadU32(Audio, 20), 2u) << "track_ID";
    EXPECT_EQ(ReadU32(Audio, 44), 0x01000000u) << "volume 1.0 for audio";
    auto const Mdhd = Find(Audio, Hex("6d646864"));
    ASSERT_NE(Mdhd, std::string::npos);
    EXPECT_EQ(ReadU32(Audio, Mdhd + 16), 48000u);
    EXPECT_NE(Find(Audio, Hex("736f756e 00000000 00000000 00000000 536f756e6448616e646c657200")), std::string::npos);
    EXPECT_NE(Find(Audio, Hex("00000010 736d6864 00000000 00000000")), std::string::npos);
    EXPECT_NE(Find(Audio, Hex("00000024 64696e66 0000001c 64726566 00000000 00000001 0000000c 75726c20 00000001")), std::string::npos);
    EXPECT_NE(Find(Audio, Hex("00000010 73747473 00000000 00000000 00000010 73747363 00000000 00000000 00000014 7374737a")), std::string::npos);

    StsdBox VideoStsd;
    H264CodecRecord Record;
    Record.CollectParameterSets(SplitAnnexB(Hex("00000001 6764001fae 00000001 68ebe3cb")));
    Record.InitializeSampleEntry(VideoStsd, VideoFormat{1280, 720, 25, 1});
    TrackBuilder::Build(1, TrackKind::Video, 25, 1280, 720, VideoStsd, Trak, Trex);
    auto const Video = Content(Serialise(Trak));
    EXPECT_EQ(ReadU32(Video, 44), 0u) << "no volume for video";
    EXPECT_EQ(ReadU32(Video, 84), 0x05000000u);
    EXPECT_EQ(ReadU32(Video, 88), 0x02D00000u);
    EXPECT_NE(Find(Video, Hex("00000014 766d6864 00000001 0000 000000000000")), std::string::npos);
}
