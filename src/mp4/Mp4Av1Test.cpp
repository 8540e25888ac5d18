// SPDX-License-Identifier: GPL-2.0-or-later
#include <gtest/gtest.h>

#include "base/HResultError.h"
#include "mp4/Mp4Av1CodecRecord.h"
#include "mp4/Mp4Av1Obu.h"
#include "mp4/Mp4Av1SequenceHeader.h"
#include "mp4/Mp4StructureBoxes.h"
#include "mp4/Mp4TestBytes.h"

using namespace Mp4;
using Mp4::Test::Hex;
using Mp4::Test::Serialise;

namespace
{
// Sequence header OBUs of real streams: ours at 720p25 (SVT-AV1, BT.601
// matrix, limited range), and from libaom 10-bit PQ full range, 4:4:4 and
// monochrome, and rav1e 1080p60.
auto const Ours720p = Hex("0a0e 0000002d4cffb3cfbf9101010604");
auto const AomPq10Bit = Hex("0a0e 000000043cffbcdaf95091009840");
auto const Aom444 = Hex("0a0a 200000043cffbcdaf902");
auto const AomMonochrome = Hex("0a0a 000000043cffbcdaf92a");
auto const Rav1e1080p = Hex("0a0e 000000faabbfc371085440808085");
} // namespace

TEST(Av1SequenceHeader, FieldsAndCodecsStringOfRealHeaders)
{
    struct Case
    {
        std::vector<std::uint8_t> const& Obu;
        char const* Codecs;
        std::uint8_t Profile;
        std::uint8_t Level;
        std::uint8_t BitDepth;
        bool Monochrome;
        std::uint8_t SubsamplingX, SubsamplingY;
        std::uint32_t Width, Height;
    };
    // The expected values as ffprobe reports them for each stream.
    for(auto const& Value : {
            Case{Ours720p, "av01.0.05M.08.0.110.01.01.06.0", 0, 5, 8, false, 1, 1, 1280, 720},
            Case{AomPq10Bit, "av01.0.00M.10.0.110.09.16.09.1", 0, 0, 10, false, 1, 1, 320, 240},
            Case{Aom444, "av01.1.00M.08.0.000.02.02.02.0", 1, 0, 8, false, 0, 0, 320, 240},
            Case{AomMonochrome, "av01.0.00M.08.1.110.02.02.02.1", 0, 0, 8, true, 1, 1, 320, 240},
            Case{Rav1e1080p, "av01.0.31M.08.0.110.02.02.02.0", 0, 31, 8, false, 1, 1, 1920, 1080},
        })
    {
        auto const Header = Av1SequenceHeader::Read(Value.Obu);
        EXPECT_EQ(Header.GetCodecsString(), Value.Codecs);
        EXPECT_EQ(Header.m_SeqProfile, Value.Profile) << Value.Codecs;
        EXPECT_EQ(Header.m_SeqLevelIdx0, Value.Level) << Value.Codecs;
        EXPECT_EQ(Header.m_BitDepth, Value.BitDepth) << Value.Codecs;
        EXPECT_EQ(Header.m_Monochrome, Value.Monochrome) << Value.Codecs;
        EXPECT_EQ(Header.m_ChromaSubsamplingX, Value.SubsamplingX) << Value.Codecs;
        EXPECT_EQ(Header.m_ChromaSubsamplingY, Value.SubsamplingY) << Value.Codecs;
        EXPECT_EQ(Header.m_MaxFrameWidth, Value.Width) << Value.Codecs;
        EXPECT_EQ(Header.m_MaxFrameHeight, Value.Height) << Value.Codecs;
    }
    // Colours the short form implies need no more.
    Av1SequenceHeader Plain;
    Plain.m_SeqLevelIdx0 = 8;
    Plain.m_ColorPrimaries = Plain.m_TransferCharacteristics = Plain.m_MatrixCoefficients = 1;
    EXPECT_EQ(Plain.GetCodecsString(), "av01.0.08M.08");
    Plain.m_SeqTier0 = 1;
    Plain.m_SeqLevelIdx0 = 13;
    EXPECT_EQ(Plain.GetCodecsString(), "av01.0.13H.08");
}

TEST(Av1SequenceHeader, RefusesOtherUnitsAndShortHeaders)
{
    for(auto const& Obu : {Hex("1200"), Hex("0a0400000000"), Hex("0a0e 0000002d4cffb3cf"), Hex("0a0e 0000002d4cffb3cfbf9101010604 1200"), Hex("")})
        EXPECT_THROW(Av1SequenceHeader::Read(Obu), HResultError) << Obu.size();
}

TEST(Av1Obu, SplitsUnitsOfEveryHeaderFormAndRefusesBrokenOnes)
{
    // A temporal delimiter, a metadata OBU with an extension byte and a
    // two-byte size, padding, and a frame without a size field.
    std::vector<std::uint8_t> Data = Hex("1200 2e00 8001");
    Data.resize(Data.size() + 128, 0xAB);
    auto const Tail = Hex("7a01ff 30 0102");
    Data.insert(Data.end(), Tail.begin(), Tail.end());
    auto const Units = Av1Obu::Split(Data);
    ASSERT_EQ(Units.size(), 4u);
    EXPECT_EQ(Units[0].m_Type, Av1Obu::TemporalDelimiterType);
    EXPECT_EQ(Units[1].m_Type, Av1Obu::MetadataType);
    EXPECT_EQ(Units[1].m_Payload.size(), 128u);
    EXPECT_EQ(Units[1].m_Whole.size(), 132u);
    EXPECT_EQ(Units[2].m_Type, Av1Obu::PaddingType);
    EXPECT_EQ(Units[3].m_Type, Av1Obu::FrameType);
    EXPECT_EQ(Units[3].m_Payload.size(), 2u) << "no size field: to the end";
    auto const Kept = Av1Obu::WithoutDelimiters(Data);
    EXPECT_EQ(Kept.size(), 132u + 3u);
    EXPECT_EQ(Kept.front(), 0x2e);

    for(auto const& Broken : {Hex("9200"), Hex("1205 00"), Hex("2e"), Hex("1280"), Hex("12 ffffffffffffffff7f")})
        EXPECT_THROW(Av1Obu::Split(Broken), HResultError) << Broken.size();
}

TEST(CodecRecord, Av1RecordDescribesTheTrackFromTheFirstSequenceHeader)
{
    Av1CodecRecord Record;
    EXPECT_EQ(Record.GetCodecsString(), "");
    StsdBox Stsd;
    EXPECT_THROW(Record.InitializeSampleEntry(Stsd, VideoFormat{1280, 720, 25, 1}), HResultError) << "no sequence header yet";

    // A key frame's temporal unit: the sequence header, then a frame.
    std::vector<std::uint8_t> Sample = Ours720p;
    auto const Frame = Hex("3203 102030");
    Sample.insert(Sample.end(), Frame.begin(), Frame.end());
    Record.CollectSequenceHeader(Sample);
    EXPECT_EQ(Record.m_SequenceHeader, Ours720p);
    EXPECT_EQ(Record.GetCodecsString(), "av01.0.05M.08.0.110.01.01.06.0");
    Record.InitializeSampleEntry(Stsd, VideoFormat{1280, 720, 25, 1});
    auto const Entry = Serialise(Stsd.m_Av01Box);
    EXPECT_EQ(std::vector<std::uint8_t>(Entry.begin() + 4, Entry.begin() + 8), Hex("61763031")) << "av01";
    auto const Configuration = Serialise(Stsd.m_Av01Box.m_Av1cBox);
    std::vector<std::uint8_t> Expected = Hex("61763143 81 05 0c 00");
    Expected.insert(Expected.end(), Ours720p.begin(), Ours720p.end());
    EXPECT_EQ(std::vector<std::uint8_t>(Configuration.begin() + 4, Configuration.end()), Expected) << "marker, version, profile 0 level 5, 4:2:0";
    Av1cBox Pq;
    Av1SequenceHeader::Read(AomPq10Bit).FillConfiguration(Pq);
    Pq.SetPresent();
    auto const PqBytes = Serialise(Pq);
    EXPECT_EQ(std::vector<std::uint8_t>(PqBytes.begin() + 8, PqBytes.end()), Hex("81 00 4c 00")) << "high bit depth, 4:2:0, nothing to carry";
}
