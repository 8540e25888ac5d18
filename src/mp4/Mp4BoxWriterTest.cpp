// SPDX-License-Identifier: GPL-2.0-or-later
// The writer's own rules: presence, headers, the 64-bit size, descriptor
// lengths, sizes known before writing, and what it refuses to write. The
// layouts of the boxes a fragment, a sample entry or the protection are made
// of are judged with the fragments, codec records and encryption that use them.
#include "mp4/Mp4BoxWriter.h"

#include <gtest/gtest.h>

#include <functional>

#include "base/HResultError.h"
#include "mp4/Mp4FragmentBoxes.h"
#include "mp4/Mp4StructureBoxes.h"
#include "mp4/Mp4TestBytes.h"

using namespace Mp4;
using Mp4::Test::Hex;
using Mp4::Test::Serialise;

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

TEST(BoxWriter, MovieHeader)
{
    MvhdBox Mvhd;
    Mvhd.SetPresent();
    Mvhd.m_Timescale = 25;
    Mvhd.m_NextTrackId = 2;
    EXPECT_EQ(Serialise(Mvhd), Hex("0000006c 6d766864 00000000 00000000 00000000 00000019 00000000 00010000 0100 00000000000000000000"
                                   "00010000 00000000 00000000 00000000 00010000 00000000 00000000 00000000 40000000"
                                   "000000000000000000000000000000000000000000000000 00000002"));
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

TEST(BoxWriter, DescriptorLengthInTwoSevenBitGroups)
{
    for(auto const& [Size, Head] : std::vector<std::pair<std::size_t, char const*>>{{127, "05 80 7f"}, {128, "05 81 00"}, {16383, "05 ff 7f"}})
    {
        std::vector<std::uint8_t> Output;
        Descriptor{5, std::vector<std::uint8_t>(Size, 0x55)}.AppendTo(Output);
        EXPECT_EQ(std::vector<std::uint8_t>(Output.begin(), Output.begin() + 3), Hex(Head)) << Size;
        EXPECT_EQ(Output.size(), Size + 3);
    }
}

TEST(BoxWriter, WhatCannotBeWrittenIsRefused)
{
    // 16,384 bytes would need a third group: refused rather than written as length 0.
    Descriptor Long{5, std::vector<std::uint8_t>(16384)};
    std::vector<std::uint8_t> Output;
    TencBox Tenc;
    Tenc.SetPresent();
    Tenc.m_Version = 1;
    Tenc.m_DefaultConstantIvSize = 17;
    StsdBox Stsd;
    Stsd.SetPresent();
    Stsd.m_Hvc1Box.SetPresent();
    SaizBox Saiz;
    Saiz.SetPresent();
    Saiz.m_DefaultSampleInfoSize = 16;
    Saiz.m_SampleCount = 2;
    Saiz.m_SampleVector = {16, 22};
    // A negative composition offset needs the signed form of version 1.
    TrunBox Trun;
    Trun.SetPresent();
    Trun.m_Flags = 0x000F01;
    Trun.m_SampleVector.push_back({1, 1, 0, -2});
    for(auto const& Write : std::initializer_list<std::function<void()>>{[&] { Long.AppendTo(Output); }, [&] { Serialise(Tenc); }, [&] { Serialise(Stsd); },
                                                                         [&] { Serialise(Saiz); }, [&] { Serialise(Trun); }})
        EXPECT_THROW(Write(), HResultError);
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
    // (How readers of ISO/IEC 23001-7 find saiz and senc in real segments is
    // test_conformance.py's.)
    Traf.m_SencBox.m_Flags = 0;
    Traf.m_SaizBox.m_Flags = 0;
    Traf.m_SaizBox.m_DefaultSampleInfoSize = 8;
    Traf.m_SaizBox.m_SampleVector.clear();
    Traf.m_SaioBox.m_Version = 0;
    Check("whole-sample encryption");
    Moof.m_TrafBoxList.emplace_back(Traf);
    Check("two track fragments");
}
