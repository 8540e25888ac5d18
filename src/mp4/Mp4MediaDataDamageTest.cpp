// SPDX-License-Identifier: GPL-2.0-or-later
#include "mp4/Mp4MediaDataDamage.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string_view>
#include <vector>

#include "mp4/Mp4TestBytes.h"

namespace
{
void AppendBigEndian(std::vector<std::uint8_t>& Data, std::uint32_t Value)
{
    for(int Shift = 24; Shift >= 0; Shift -= 8)
        Data.push_back(static_cast<std::uint8_t>(Value >> Shift));
}

void AppendBox(std::vector<std::uint8_t>& Data, std::string_view Type, std::vector<std::uint8_t> const& Payload)
{
    AppendBigEndian(Data, static_cast<std::uint32_t>(8 + Payload.size()));
    for(char Character : Type)
        Data.push_back(static_cast<std::uint8_t>(Character));
    for(auto Byte : Payload)
        Data.push_back(Byte);
}

// Two units of 100 and 6 bytes behind 4-byte lengths.
std::vector<std::uint8_t> UnitPayload()
{
    std::vector<std::uint8_t> Payload(4 + 100 + 4 + 6, 0x11);
    std::fill(Payload.begin(), Payload.begin() + 4, 0);
    Payload[3] = 100;
    std::fill(Payload.begin() + 104, Payload.end(), 0x22);
    std::fill(Payload.begin() + 104, Payload.begin() + 108, 0);
    Payload[107] = 6;
    return Payload;
}
} // namespace

TEST(Mp4MediaDataDamage, OnlyMediaDataPayloadsChangeAndUnitLengthsStay)
{
    std::vector<std::uint8_t> const Moof(200, 0x33);
    std::vector<std::uint8_t> Segment;
    AppendBox(Segment, "moof", Moof);
    AppendBox(Segment, "mdat", UnitPayload());
    AppendBox(Segment, "moof", Moof);
    AppendBox(Segment, "mdat", UnitPayload());
    auto Damaged = Segment;
    // The second half of each 100-byte unit, every 24th byte: 50, 74, 98.
    EXPECT_EQ(Mp4::DamageMediaData(Damaged, true), 6u);
    std::size_t const FirstMdat = 208;
    for(std::size_t Index = 0; Index < Segment.size(); ++Index)
    {
        std::size_t const InMdat = (Index - FirstMdat) % 330; // mdat (122 bytes) and moof (208) repeat
        bool const Flipped = Index >= FirstMdat && (InMdat == 12 + 50 || InMdat == 12 + 74 || InMdat == 12 + 98);
        EXPECT_EQ(Damaged[Index], Flipped ? static_cast<std::uint8_t>(~Segment[Index]) : Segment[Index]) << Index;
    }
}

TEST(Mp4MediaDataDamage, Av1SamplesKeepTheirObuHeadersAndSequenceHeader)
{
    // A sequence header OBU (16 bytes), then a frame OBU of 100 payload bytes.
    std::vector<std::uint8_t> Payload{0x0a, 0x0e};
    Payload.resize(16, 0x55);
    Payload.insert(Payload.end(), {0x32, 100});
    Payload.resize(Payload.size() + 100, 0x66);
    std::vector<std::uint8_t> Segment;
    AppendBox(Segment, "mdat", Payload);
    auto Damaged = Segment;
    // The frame's payload from byte 50 on, every 24th byte: 50, 74, 98.
    EXPECT_EQ(Mp4::DamageMediaData(Damaged, true), 3u);
    std::size_t const Frame = 8 + 16 + 2;
    for(std::size_t Index = 0; Index < Segment.size(); ++Index)
    {
        bool const Flipped = Index == Frame + 50 || Index == Frame + 74 || Index == Frame + 98;
        EXPECT_EQ(Damaged[Index], Flipped ? static_cast<std::uint8_t>(~Segment[Index]) : Segment[Index]) << Index;
    }
}

TEST(Mp4MediaDataDamage, Vp9FramesKeepTheirHeadersAndTileSizes)
{
    // A 512×64 key frame of libvpx (18 + 2 header bytes, then two tiles of
    // 14 bytes, the first behind its size), and an inter frame of two tiles
    // of 40 bytes whose header takes the width from the key frame.
    auto const Key = Mp4::Test::Hex("82498342001ff003f60638241c183e100010 4000 0000000e 6b38f7a69b004e0a701d12bb0580 6b38f7a69b004e0a701d12bb0580");
    auto Inter = Mp4::Test::Hex("860040929c404f01000180 700000 00000028");
    Inter.resize(Inter.size() + 80, 0x66);
    std::vector<std::uint8_t> Segment;
    AppendBox(Segment, "mdat", Key);
    AppendBox(Segment, "mdat", Inter);
    auto Damaged = Segment;
    // The second half of every tile: one byte of each.
    EXPECT_EQ(Mp4::DamageMediaData(Damaged, true), 4u);
    std::size_t const InterAt = 8 + Key.size() + 8;
    for(std::size_t Index = 0; Index < Segment.size(); ++Index)
    {
        bool const Flipped = Index == 8 + 24 + 7 || Index == 8 + 38 + 7 || Index == InterAt + 18 + 20 || Index == InterAt + 58 + 20;
        EXPECT_EQ(Damaged[Index], Flipped ? static_cast<std::uint8_t>(~Segment[Index]) : Segment[Index]) << Index;
    }
}

TEST(Mp4MediaDataDamage, FramesWithoutUnits)
{
    std::vector<std::uint8_t> Segment;
    AppendBox(Segment, "mdat", std::vector<std::uint8_t>(50, 0x44));
    auto Damaged = Segment;
    // From the payload's third byte on: 2 and 26.
    EXPECT_EQ(Mp4::DamageMediaData(Damaged, false), 2u);
    EXPECT_EQ(Damaged[8 + 2], 0xBB);
    EXPECT_EQ(Damaged[8 + 26], 0xBB);
    EXPECT_EQ(Damaged[8 + 3], 0x44);
    // Units that do not add up to the payload are taken as one frame.
    Damaged = Segment;
    EXPECT_EQ(Mp4::DamageMediaData(Damaged, true), 2u);
}
