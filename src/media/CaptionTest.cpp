// SPDX-License-Identifier: GPL-2.0-or-later
#include <gtest/gtest.h>

#include <bit>
#include <map>
#include <string>

#include "base/Check.h"
#include "base/MediaTime.h"
#include "media/CaptionData.h"
#include "media/CaptionSei.h"
#include "media/Cea608Encoder.h"
#include "media/Cea708Encoder.h"
#include "media/VideoFrameGrid.h"
#include "mp4/Mp4NalUnit.h"

using namespace Application;

namespace
{
using Services = VideoEncoderSettings::CaptionServices;
using Codec = VideoEncoderSettings::Codec;

struct Triplet
{
    std::uint8_t Valid;
    std::uint8_t Type;
    std::uint8_t First;
    std::uint8_t Second;
};

// Reads cc_data as a decoder does: the header byte's flags and count, em_data,
// the triplets, the closing marker.
std::vector<Triplet> ReadCcData(std::vector<std::uint8_t> const& Data)
{
    EXPECT_GE(Data.size(), 3u);
    EXPECT_EQ(Data[0] & 0xE0, 0x40) << "process_cc_data_flag alone";
    std::size_t const Count = Data[0] & 0x1F;
    EXPECT_EQ(Data.size(), 2 + 3 * Count + 1);
    EXPECT_EQ(Data.back(), 0xFF);
    std::vector<Triplet> Triplets;
    for(std::size_t Index = 0; Index < Count; ++Index)
    {
        std::uint8_t const Marker = Data[2 + 3 * Index];
        EXPECT_EQ(Marker & 0xF8, 0xF8);
        Triplets.push_back({static_cast<std::uint8_t>(Marker >> 2 & 1), static_cast<std::uint8_t>(Marker & 3), Data[3 + 3 * Index], Data[4 + 3 * Index]});
    }
    return Triplets;
}

// A pop-on CC1 decoder of what these captions use: drops a control code
// that repeats the one before (as decoders do with the redundant copy),
// loads characters after a preamble address, swaps at end of caption.
class PopOnScreen
{
public:
    void Take(std::uint8_t First, std::uint8_t Second)
    {
        EXPECT_EQ(std::popcount(First) % 2, 1) << int(First);
        EXPECT_EQ(std::popcount(Second) % 2, 1) << int(Second);
        First &= 0x7F;
        Second &= 0x7F;
        if(First >= 0x10 && First <= 0x1F)
        {
            bool const Repeated = m_LastCommand == (First << 8 | Second);
            m_LastCommand = First << 8 | Second;
            if(Repeated)
                return;
            EXPECT_EQ(First, 0x14) << "CC1's commands";
            if(Second == 0x20)
                m_Loading = true;
            else if(Second == 0x2E)
                m_Hidden.clear();
            else if(Second == 0x2F)
                std::swap(m_Hidden, m_Shown);
            else
                EXPECT_EQ(Second, 0x70) << "row 15, indent 0";
            return;
        }
        m_LastCommand = 0;
        for(std::uint8_t Character : {First, Second})
            if(Character != 0)
            {
                EXPECT_TRUE(m_Loading);
                m_Hidden += static_cast<char>(Character);
            }
    }
    std::string const& Shown() const { return m_Shown; }

private:
    int m_LastCommand = 0;
    bool m_Loading = false;
    std::string m_Hidden;
    std::string m_Shown;
};
} // namespace

TEST(Cea608Encoder, EveryByteHasOddParityAndKeepsItsSevenBits)
{
    for(int Value = 0; Value < 128; ++Value)
    {
        auto const Coded = Cea608Encoder::WithParity(static_cast<std::uint8_t>(Value));
        EXPECT_EQ(Coded & 0x7F, Value);
        EXPECT_EQ(std::popcount(Coded) % 2, 1) << Value;
    }
}

TEST(Cea608Encoder, PopOnLoadSendsEachCommandTwiceThenTheText)
{
    using Pair = Cea608Encoder::BytePair;
    // Resume caption loading, erase non-displayed memory, row 15 indent 0,
    // then "CC1 0" with a null after the odd last character.
    std::vector<Pair> const Expected{{0x94, 0x20}, {0x94, 0x20}, {0x94, 0xAE}, {0x94, 0xAE}, {0x94, 0x70},
                                     {0x94, 0x70}, {0x43, 0x43}, {0x31, 0x20}, {0xB0, 0x80}};
    EXPECT_EQ(Cea608Encoder::LoadPopOn("CC1 0"), Expected);
    EXPECT_THROW(Cea608Encoder::LoadPopOn(std::string(33, 'A')), HResultError);
    EXPECT_THROW(Cea608Encoder::LoadPopOn("\x01"), HResultError);
}

TEST(Cea708Encoder, PacketHoldsOneServiceBlockWithTheWindowAndTheText)
{
    auto const Packet = Cea708Encoder::Packet("CC1 00:00:05", 6);
    // Header: sequence 6 mod 4 = 2, size in pairs; service 1 with a
    // 21-byte block (delete windows, define window 0, 12 characters), one
    // null byte of padding.
    ASSERT_EQ(Packet.size(), 24u);
    EXPECT_EQ(Packet[0], 2 << 6 | 12);
    EXPECT_EQ(Packet[1], 1 << 5 | 21);
    EXPECT_EQ((std::vector<std::uint8_t>(Packet.begin() + 2, Packet.begin() + 5)), (std::vector<std::uint8_t>{0x8C, 0xFF, 0x98}));
    EXPECT_EQ(Packet[5] & 0x20, 0x20) << "the window is visible";
    EXPECT_EQ(std::string(Packet.begin() + 11, Packet.begin() + 23), "CC1 00:00:05");
    EXPECT_EQ(Packet[23], 0);
    EXPECT_EQ(Cea708Encoder::Packet("CC1 00:00:05 ", 0).size() % 2, 0u);
    EXPECT_THROW(Cea708Encoder::Packet(std::string(23, 'A'), 0), HResultError);
}

TEST(CaptionData, TextNamesTheMediaSecond)
{
    EXPECT_EQ(CaptionData::Text(0), "CC1 00:00:00");
    EXPECT_EQ(CaptionData::Text(3725), "CC1 01:02:05");
    EXPECT_EQ(CaptionData::Text(360000), "CC1 100:00:00");
}

// From the second second on, the picture shown at media time t carries the
// caption of t's second, at rates with and without fractions and at rates
// too low for one byte pair a picture (the one-picture-a-second row); any segment's pictures get the same
// bytes as a run from the start, since the bytes follow from the time alone.
TEST(CaptionData, Cc1ShowsTheMediaSecondOnEveryPicture)
{
    struct Case
    {
        std::uint32_t RateN;
        std::uint32_t RateD;
    };
    for(auto const [RateN, RateD] : {Case{25, 1}, Case{30000, 1001}, Case{60, 1}, Case{2, 1}, Case{1, 1}})
    {
        SCOPED_TRACE(testing::Message() << RateN << "/" << RateD);
        CaptionData const Data(Services::Cea608, RateN, RateD);
        VideoFrameGrid const Grid(RateN, RateD);
        PopOnScreen Screen;
        for(std::int64_t Frame = 0; Grid.FrameTime(Frame) < 5 * TimeUnitsPerSecond; ++Frame)
        {
            std::int64_t const Time = Grid.FrameTime(Frame);
            auto const Triplets = ReadCcData(Data.ForPicture(Time));
            ASSERT_FALSE(Triplets.empty());
            for(auto const& Each : Triplets)
            {
                EXPECT_EQ(Each.Valid, 1);
                EXPECT_EQ(Each.Type, 0) << "608 field 1 only";
                Screen.Take(Each.First, Each.Second);
            }
            if(Time >= TimeUnitsPerSecond)
            {
                ASSERT_EQ(Screen.Shown(), CaptionData::Text(Time / TimeUnitsPerSecond)) << Frame;
            }
        }
    }
}

TEST(CaptionData, With708TheFirstPictureOfEachSecondCarriesItsPacketAfterThe608Pair)
{
    CaptionData const Data(Services::Cea608And708, 25, 1);
    for(std::int64_t Second : {0, 1, 7})
    {
        auto const First = ReadCcData(Data.ForPicture(Second * TimeUnitsPerSecond));
        auto const Packet = Cea708Encoder::Packet(CaptionData::Text(Second), static_cast<std::uint32_t>(Second % 4));
        ASSERT_EQ(First.size(), 1 + Packet.size() / 2);
        EXPECT_EQ(First[0].Type, 0);
        std::vector<std::uint8_t> Carried;
        for(std::size_t Index = 1; Index < First.size(); ++Index)
        {
            EXPECT_EQ(First[Index].Type, Index == 1 ? 3 : 2) << "packet start, then packet data";
            Carried.push_back(First[Index].First);
            Carried.push_back(First[Index].Second);
        }
        EXPECT_EQ(Carried, Packet);
        EXPECT_EQ(ReadCcData(Data.ForPicture(Second * TimeUnitsPerSecond + TimeUnitsPerSecond / 25)).size(), 1u);
    }
}

TEST(CaptionSei, NalUnitCarriesTheGa94UserDataWithEmulationPrevention)
{
    // A payload whose zeros would form a start code.
    std::vector<std::uint8_t> const CcData{0x41, 0xFF, 0xFE, 0x00, 0x00, 0x01, 0xFF};
    std::vector<std::uint8_t> const Message{0x04, 15, 0xB5, 0x00, 0x31, 'G', 'A', '9', '4', 0x03, 0x41, 0xFF, 0xFE, 0x00, 0x00, 0x03, 0x01, 0xFF, 0x80};
    auto Expected = Message;
    Expected.insert(Expected.begin(), 0x06);
    EXPECT_EQ(CaptionSei::NalUnit(Codec::H264, CcData), Expected);
    Expected = Message;
    Expected.insert(Expected.begin(), {0x4E, 0x01});
    EXPECT_EQ(CaptionSei::NalUnit(Codec::Hevc, CcData), Expected);
    // Without the escape the payload is the cc_data as given.
    auto const Rbsp = Mp4::ExtractRbsp(CaptionSei::NalUnit(Codec::H264, CcData));
    EXPECT_EQ(std::vector<std::uint8_t>(Rbsp.begin() + 11, Rbsp.end() - 1), CcData);
}

TEST(CaptionSei, GoesBeforeTheFirstSliceAfterTheParameterSets)
{
    struct Case
    {
        Codec Format;
        std::vector<std::uint8_t> AccessUnit;
        std::vector<std::uint8_t> TypesAfter;
    };
    Case const Cases[]{
        // SPS, PPS, an SEI of the encoder's, an IDR slice with a 3-byte start code, a second slice.
        {Codec::H264,
         {0, 0, 0, 1, 0x67, 0x64, 0, 0, 0, 1, 0x68, 0xEE, 0, 0, 0, 1, 0x06, 0x05, 0, 0, 1, 0x65, 0x88, 0, 0, 1, 0x65, 0x99},
         {7, 8, 6, 6, 5, 5}},
        // A P slice alone.
        {Codec::H264, {0, 0, 0, 1, 0x41, 0x9A}, {6, 1}},
        // VPS, SPS, PPS, a TRAIL_N slice (type 0).
        {Codec::Hevc, {0, 0, 0, 1, 0x40, 0x01, 0, 0, 0, 1, 0x42, 0x01, 0, 0, 0, 1, 0x44, 0x01, 0, 0, 0, 1, 0x00, 0x01, 0xAF}, {32, 33, 34, 39, 0}},
    };
    for(auto const& Each : Cases)
    {
        auto AccessUnit = Each.AccessUnit;
        auto const Unit = CaptionSei::NalUnit(Each.Format, std::vector<std::uint8_t>{0x41, 0xFF, 0xFC, 0x80, 0x80, 0xFF});
        CaptionSei::Insert(Each.Format, AccessUnit, Unit);
        std::vector<std::uint8_t> Types;
        for(auto const NalUnit : Mp4::SplitAnnexB(AccessUnit))
            Types.push_back(Each.Format == Codec::H264 ? Mp4::GetH264NalUnitType(NalUnit) : Mp4::GetHevcNalUnitType(NalUnit));
        EXPECT_EQ(Types, Each.TypesAfter);
        EXPECT_EQ(AccessUnit.size(), Each.AccessUnit.size() + 4 + Unit.size());
    }
    std::vector<std::uint8_t> NoSlice{0, 0, 0, 1, 0x67, 0x64};
    EXPECT_THROW(CaptionSei::Insert(Codec::H264, NoSlice, std::vector<std::uint8_t>{0x06}), HResultError);
}
