// SPDX-License-Identifier: GPL-2.0-or-later
#include "mp4/Mp4BoxWriter.h"

#include <gtest/gtest.h>

#include "base/HResultError.h"
#include "mp4/Mp4FragmentBoxes.h"
#include "mp4/Mp4IndexBoxes.h"
#include "mp4/Mp4StructureBoxes.h"
#include "mp4/Mp4TestBytes.h"

using namespace Mp4;
using Mp4::Test::Hex;
using Mp4::Test::ReadU32;
using Mp4::Test::Serialise;

namespace
{
template <typename BodyT>
std::string FailureMessage(BodyT Body)
{
    try
    {
        Body();
    }
    catch(HResultError const& Error)
    {
        EXPECT_EQ(Error.Code(), E_UNEXPECTED);
        return Error.Message();
    }
    ADD_FAILURE() << "nothing raised";
    return {};
}

bool Mentions(std::string const& Message, char const* Expression)
{
    return Message.find(std::string("expression ") + Expression + ", at ") != std::string::npos;
}
} // namespace

TEST(BoxWriter, EmptyBoxesAndPresence)
{
    Box Data(MakeFourCc("stts"));
    BoxWriter Absent;
    Absent.WriteBox(Data, [] { });
    EXPECT_TRUE(Absent.GetData().empty()) << "a fresh box is not present";
    Data.SetPresent();
    BoxWriter Bare;
    Bare.WriteBox(Data, [] { });
    EXPECT_EQ(Bare.GetData(), Hex("00000008 73747473"));
    BoxWriter Writer;
    FullBox Free(MakeFourCc("free"));
    Free.SetPresent();
    Writer.WriteFullBox(Free, [] { });
    EXPECT_EQ(Writer.GetData(), Hex("0000000c 66726565 00000000"));

    Box Uuid(MakeFourCc("uuid"));
    Uuid.SetPresent();
    Uuid.m_UserType[15] = 0x7F;
    BoxWriter UuidWriter;
    UuidWriter.WriteBox(Uuid, [&] { UuidWriter.AppendU8(0xAA); });
    EXPECT_EQ(UuidWriter.GetData(), Hex("00000019 75756964 0000000000000000000000000000007f aa"));
}

TEST(BoxWriter, NestedContainersKeepOrderAndSizes)
{
    MoovBox Moov;
    Moov.SetPresent();
    Moov.m_MvhdBox.SetPresent();
    Moov.m_MvexBox.SetPresent();
    for(std::uint8_t Track = 1; Track <= 2; ++Track)
    {
        auto& Trak = Moov.m_TrakBoxList.emplace_back();
        Trak.SetPresent();
        Trak.m_TkhdBox.SetPresent();
        Trak.m_TkhdBox.m_TrackId = Track;
        auto& Trex = Moov.m_MvexBox.m_TrexBoxList.emplace_back();
        Trex.SetPresent();
        Trex.m_TrackId = 0x20u + Track;
    }
    auto const Bytes = Serialise(Moov);
    // moov 8 + mvhd 108 + trak (8 + tkhd 92) twice + mvex (8 + 2 x 32)
    ASSERT_EQ(Bytes.size(), 8u + 108 + 100 + 100 + 72);
    EXPECT_EQ(ReadU32(Bytes, 0), Bytes.size());
    std::size_t Offset = 8;
    for(auto const& [Type, Size] : std::vector<std::pair<char const*, std::uint32_t>>{{"mvhd", 108}, {"trak", 100}, {"trak", 100}, {"mvex", 72}})
    {
        EXPECT_EQ(ReadU32(Bytes, Offset), Size) << Type;
        EXPECT_EQ(ReadU32(Bytes, Offset + 4), MakeFourCc(reinterpret_cast<char const(&)[5]>(*Type))) << Type;
        Offset += Size;
    }
    EXPECT_EQ(ReadU32(Bytes, 8 + 108 + 8 + 20), 1u) << "first track_ID";
    EXPECT_EQ(ReadU32(Bytes, 8 + 108 + 100 + 8 + 20), 2u) << "second track_ID";
    std::size_t const Mvex = 8 + 108 + 100 + 100;
    EXPECT_EQ(ReadU32(Bytes, Mvex + 8), 32u);
    EXPECT_EQ(ReadU32(Bytes, Mvex + 8 + 12), 0x21u);
    EXPECT_EQ(ReadU32(Bytes, Mvex + 8 + 32 + 12), 0x22u);
}

TEST(BoxWriter, MovieHeaderAndTrackExtends)
{
    MvhdBox Mvhd;
    Mvhd.SetPresent();
    Mvhd.m_Timescale = 25;
    Mvhd.m_NextTrackId = 2;
    EXPECT_EQ(Serialise(Mvhd), Hex("0000006c 6d766864 00000000 00000000 00000000 00000019 00000000 00010000 0100 00000000000000000000"
                                   "00010000 00000000 00000000 00000000 00010000 00000000 00000000 00000000 40000000"
                                   "000000000000000000000000000000000000000000000000 00000002"));
    TrexBox Trex;
    Trex.SetPresent();
    Trex.m_TrackId = 2;
    EXPECT_EQ(Serialise(Trex), Hex("00000020 74726578 00000000 00000002 00000001 00000000 00000000 00000000"));
    StszBox Stsz;
    Stsz.SetPresent();
    EXPECT_EQ(Serialise(Stsz), Hex("00000014 7374737a 00000000 00000000 00000000"));
}

TEST(BoxWriter, LargeSizeSwitch)
{
    Bytes16 const NoUserType{};
    auto const Small = BoxWriter::FormatHeader(MakeFourCc("mdat"), NoUserType, 0xFFFFFFFFull - 8);
    EXPECT_EQ(std::vector<std::uint8_t>(Small.GetBytes().begin(), Small.GetBytes().end()), Hex("ffffffff 6d646174"));
    auto const Large = BoxWriter::FormatHeader(MakeFourCc("mdat"), NoUserType, 0xFFFFFFFFull - 7);
    EXPECT_EQ(std::vector<std::uint8_t>(Large.GetBytes().begin(), Large.GetBytes().end()), Hex("00000001 6d646174 0000000100000008"));
    Bytes16 UserType{};
    UserType.fill(0xEE);
    auto const LargeUuid = BoxWriter::FormatHeader(MakeFourCc("uuid"), UserType, 0xFFFFFFFFull);
    EXPECT_EQ(std::vector<std::uint8_t>(LargeUuid.GetBytes().begin(), LargeUuid.GetBytes().end()),
              Hex("00000001 75756964 000000010000001f eeeeeeeeeeeeeeeeeeeeeeeeeeeeeeee"));
}

TEST(BoxWriter, FileTypeIs36Bytes)
{
    FtypBox Ftyp;
    Ftyp.SetPresent();
    Ftyp.m_MajorBrand = MakeFourCc("isom");
    Ftyp.m_CompatibleBrandVector = {MakeFourCc("iso8"), MakeFourCc("mp41"), MakeFourCc("dash"), MakeFourCc("avc1"), MakeFourCc("cmfc")};
    EXPECT_EQ(Serialise(Ftyp), Hex("00000024 66747970 69736f6d 00000000 69736f38 6d703431 64617368 61766331 636d6663"));
}

TEST(BoxWriter, TrackEncryptionBox)
{
    TencBox Tenc;
    Tenc.SetPresent();
    Tenc.m_DefaultCryptByteBlock = 1;
    Tenc.m_DefaultSkipByteBlock = 9;
    Tenc.m_DefaultIsProtected = 1;
    Tenc.m_DefaultPerSampleIvSize = 8;
    Tenc.m_DefaultKid.fill(0xAB);
    Tenc.m_DefaultConstantIvSize = 16;
    Tenc.m_DefaultConstantIv.fill(0xCD);
    // Version 0 has no pattern, and a per-sample IV leaves the constant IV out.
    EXPECT_EQ(Serialise(Tenc), Hex("00000020 74656e63 00000000 00 00 01 08 abababababababababababababababab"));
    Tenc.m_Version = 1;
    Tenc.m_DefaultPerSampleIvSize = 0;
    EXPECT_EQ(Serialise(Tenc), Hex("00000031 74656e63 01000000 00 19 01 00 abababababababababababababababab 10 cdcdcdcdcdcdcdcdcdcdcdcdcdcdcdcd"));
    Tenc.m_DefaultConstantIvSize = 17;
    EXPECT_TRUE(Mentions(FailureMessage([&] { Serialise(Tenc); }), "m_DefaultConstantIvSize <= std::size(m_DefaultConstantIv)"));
}

TEST(BoxWriter, TrackRunWithOneSampleIs36Bytes)
{
    TrunBox Trun;
    Trun.SetPresent();
    Trun.m_Flags = 0x000F01;
    Trun.m_DataOffset = 112;
    Trun.m_SampleVector.push_back({1, 0x1234, 0x02000000, 2});
    EXPECT_EQ(Serialise(Trun), Hex("00000024 7472756e 00000f01 00000001 00000070 00000001 00001234 02000000 00000002"));
    // A negative offset needs the signed form of version 1.
    Trun.m_SampleVector[0].m_CompositionTimeOffset = -2;
    EXPECT_FALSE(FailureMessage([&] { Serialise(Trun); }).empty());
    Trun.m_Version = 1;
    EXPECT_EQ(ReadU32(Serialise(Trun), 32), 0xFFFFFFFEu);
}

TEST(BoxWriter, DescriptorLengthInTwoSevenBitGroups)
{
    std::vector<std::uint8_t> Output;
    Descriptor Value{5, std::vector<std::uint8_t>(127, 0x55)};
    Value.AppendTo(Output);
    EXPECT_EQ(std::vector<std::uint8_t>(Output.begin(), Output.begin() + 3), Hex("05 80 7f"));
    EXPECT_EQ(Output.size(), 130u);
    Output.clear();
    Value.m_Data.push_back(0x55);
    Value.AppendTo(Output);
    EXPECT_EQ(std::vector<std::uint8_t>(Output.begin(), Output.begin() + 3), Hex("05 81 00"));
    Output.clear();
    Value.m_Data.resize(16383);
    Value.AppendTo(Output);
    EXPECT_EQ(std::vector<std::uint8_t>(Output.begin(), Output.begin() + 3), Hex("05 ff 7f"));
    // 16,384 would need a third group: refused rather than written as length 0.
    Value.m_Data.resize(16384);
    EXPECT_TRUE(Mentions(FailureMessage([&] { Value.AppendTo(Output); }), "m_Data.size() < (1 << (7 + 7))"));
}

TEST(BoxWriter, SampleEntriesRequireTheirCodecBox)
{
    StsdBox Stsd;
    Stsd.SetPresent();
    Stsd.m_Hvc1Box.SetPresent();
    EXPECT_TRUE(Mentions(FailureMessage([&] { Serialise(Stsd); }), "m_HvccBox.IsPresent()"));
    Stsd.m_Hvc1Box.SetPresent(false);
    Stsd.m_Mp4aBox.SetPresent();
    EXPECT_TRUE(Mentions(FailureMessage([&] { Serialise(Stsd); }), "m_EsdsBox.IsPresent()"));
    Stsd.m_Mp4aBox.SetPresent(false);
    Stsd.m_FlacBox.SetPresent();
    EXPECT_TRUE(Mentions(FailureMessage([&] { Serialise(Stsd); }), "m_DflaBox.IsPresent()"));
}

TEST(BoxWriter, AuxiliaryInformationBoxes)
{
    SaizBox Saiz;
    Saiz.SetPresent();
    Saiz.m_DefaultSampleInfoSize = 16;
    Saiz.m_SampleCount = 1;
    EXPECT_EQ(Serialise(Saiz), Hex("00000011 7361697a 00000000 10 00000001"));
    Saiz.m_SampleVector = {16};
    EXPECT_TRUE(Mentions(FailureMessage([&] { Serialise(Saiz); }), "m_DefaultSampleInfoSize == 0 || m_SampleVector.empty()"));
    Saiz.m_DefaultSampleInfoSize = 0;
    Saiz.m_SampleCount = 2;
    EXPECT_TRUE(Mentions(FailureMessage([&] { Serialise(Saiz); }), "m_SampleVector.empty() || m_SampleVector.size() == m_SampleCount"));
    Saiz.m_SampleVector = {16, 22};
    EXPECT_EQ(Serialise(Saiz), Hex("00000013 7361697a 00000000 00 00000002 10 16"));

    SaioBox Saio;
    Saio.SetPresent();
    Saio.m_OffsetVector = {0x64};
    EXPECT_EQ(Serialise(Saio), Hex("00000014 7361696f 00000000 00000001 00000064"));

    SencBox Senc;
    Senc.SetPresent();
    Senc.m_Flags = SencBox::UseSubsampleEncryption;
    Senc.m_PerSampleIvSize = 8;
    Senc.m_SampleVector.push_back({Hex("0102030405060708"), {{12, 992}, {7, 0}}});
    EXPECT_EQ(Serialise(Senc), Hex("00000026 73656e63 00000002 00000001 0102030405060708 0002 000c000003e0 000700000000"));
    EXPECT_EQ(Senc.GetSampleInfoSize(Senc.m_SampleVector[0]), 8u + 2 + 12);
}

TEST(BoxWriter, SegmentIndexLimits)
{
    SidxBox Sidx;
    Sidx.SetPresent();
    Sidx.m_ReferenceId = 1;
    Sidx.m_Timescale = 25;
    Sidx.m_ReferenceVector.push_back({0, 1000, 75, 1, 1, 0});
    EXPECT_EQ(Serialise(Sidx), Hex("0000002c 73696478 00000000 00000001 00000019 00000000 00000000 0000 0001 000003e8 0000004b 90000000"));
    Sidx.m_EarliestPresentationTime = 1ull << 32;
    EXPECT_TRUE(Mentions(FailureMessage([&] { Serialise(Sidx); }), "!(m_EarliestPresentationTime >> 32)"));
    Sidx.m_Version = 1;
    Sidx.m_ReferenceVector[0].m_SapType = 8;
    EXPECT_TRUE(Mentions(FailureMessage([&] { Serialise(Sidx); }), "!(Reference.m_SapType & ~0x07)"));
    Sidx.m_ReferenceVector[0].m_SapType = 1;
    Sidx.m_ReferenceVector[0].m_SapDeltaTime = 1u << 28;
    EXPECT_FALSE(FailureMessage([&] { Serialise(Sidx); }).empty());
}

TEST(BoxWriter, FragmentSizesAreKnownBeforeWriting)
{
    MoofBox Moof;
    EXPECT_EQ(Moof.GetSize(), 0u) << "absent";
    Moof.SetPresent();
    Moof.m_MfhdBox.SetPresent();
    TrafBox& Traf = Moof.m_TrafBoxList.emplace_back();
    Traf.SetPresent();
    Traf.m_TfhdBox.SetPresent();
    Traf.m_TfdtBox.SetPresent();
    Traf.m_TrunBox.SetPresent();
    Traf.m_TrunBox.m_SampleVector.resize(3);
    auto const Check = [&](char const* Case) { EXPECT_EQ(Moof.GetSize(), Serialise(Moof).size()) << Case; };
    Check("plain");
    // Every optional field and every version that changes a width.
    Traf.m_TfhdBox.m_Flags = 0x02003B;
    Traf.m_TfdtBox.m_Version = 1;
    Traf.m_TrunBox.m_Flags = 0x000F05;
    Check("all tfhd and trun fields");
    Traf.m_SaizBox.SetPresent();
    Traf.m_SaizBox.m_Flags = 1;
    Traf.m_SaizBox.m_SampleCount = 3;
    Traf.m_SaizBox.m_SampleVector = {16, 22, 10};
    Traf.m_SaioBox.SetPresent();
    Traf.m_SaioBox.m_Version = 1;
    Traf.m_SaioBox.m_OffsetVector = {1, 2};
    Traf.m_SencBox.SetPresent();
    Traf.m_SencBox.m_Flags = SencBox::UseSubsampleEncryption;
    Traf.m_SencBox.m_PerSampleIvSize = 8;
    Traf.m_SencBox.m_SampleVector = {{Hex("0102030405060708"), {{12, 992}}}, {Hex("1112131415161718"), {{1, 2}, {3, 4}}}};
    Check("auxiliary information with subsamples");
    Traf.m_SencBox.m_Flags = 0;
    Traf.m_SaizBox.m_Flags = 0;
    Traf.m_SaizBox.m_DefaultSampleInfoSize = 8;
    Traf.m_SaizBox.m_SampleVector.clear();
    Traf.m_SaioBox.m_Version = 0;
    Check("whole-sample encryption");
    Moof.m_TrafBoxList.emplace_back(Traf);
    Check("two track fragments");
}
