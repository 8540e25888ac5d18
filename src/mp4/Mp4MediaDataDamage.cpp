// SPDX-License-Identifier: GPL-2.0-or-later
#include "mp4/Mp4MediaDataDamage.h"

#include <algorithm>
#include <optional>
#include <vector>

#include "base/HResultError.h"
#include "mp4/Mp4Av1Obu.h"
#include "mp4/Mp4BoxHeader.h"
#include "mp4/Mp4Vp9FrameHeader.h"

namespace Mp4
{
namespace
{
std::size_t Invert(std::span<std::uint8_t> Bytes)
{
    std::size_t Count = 0;
    for(std::size_t Index = 0; Index < Bytes.size(); Index += DamageStride, ++Count)
        Bytes[Index] ^= 0xFF;
    return Count;
}

// The units of one sample, when its payload is made of whole length-prefixed units.
bool AreLengthPrefixedUnits(std::span<std::uint8_t const> Payload)
{
    std::size_t Position = 0;
    while(Position + 4 <= Payload.size())
        Position += 4 + ReadBigEndian(Payload.subspan(Position, 4));
    return Position == Payload.size();
}

std::size_t DamageUnits(std::span<std::uint8_t> Payload)
{
    std::size_t Count = 0;
    std::size_t Position = 0;
    while(Position + 4 <= Payload.size())
    {
        auto const Length = static_cast<std::size_t>(ReadBigEndian(Payload.subspan(Position, 4)));
        auto const Unit = Payload.subspan(Position + 4, Length);
        // The first bytes (unit and slice headers) stay, so the unit is
        // still taken for what it is.
        if(Unit.size() >= 8)
            Count += Invert(Unit.subspan(Unit.size() / 2));
        Position += 4 + Length;
    }
    return Count;
}

// The coded pictures of a sample of AV1 OBUs; none when it is not one.
std::vector<std::span<std::uint8_t>> FindPictureObus(std::span<std::uint8_t> Payload)
{
    std::vector<std::span<std::uint8_t>> Pictures;
    try
    {
        for(auto const& Obu : Av1Obu::Split(Payload))
            if(Obu.m_Type == Av1Obu::FrameType || Obu.m_Type == Av1Obu::TileGroupType)
                Pictures.push_back(Payload.subspan(static_cast<std::size_t>(Obu.m_Payload.data() - Payload.data()), Obu.m_Payload.size()));
    }
    catch(HResultError const&)
    {
        return {};
    }
    return Pictures;
}

// The tiles of a VP9 frame; none when it is not one. Inter frames take
// their width from the last key frame before them in the segment (Width).
std::vector<Vp9FrameHeader::Range> FindVp9Tiles(std::span<std::uint8_t const> Payload, std::optional<std::uint32_t>& Width)
{
    try
    {
        auto const Header = Vp9FrameHeader::Read(Payload, Width);
        if(Header.m_KeyFrame)
            Width = Header.m_Width;
        return Header.FindTiles(Payload);
    }
    catch(HResultError const&)
    {
        return {};
    }
}

std::size_t DamagePayload(std::span<std::uint8_t> Payload, bool LengthPrefixedUnits, std::optional<std::uint32_t>& Vp9Width)
{
    if(LengthPrefixedUnits && AreLengthPrefixedUnits(Payload))
        return DamageUnits(Payload);
    if(LengthPrefixedUnits)
        if(auto const Pictures = FindPictureObus(Payload); !Pictures.empty())
        {
            std::size_t Count = 0;
            for(auto const Picture : Pictures)
                if(Picture.size() >= 8)
                    Count += Invert(Picture.subspan(Picture.size() / 2));
            return Count;
        }
    if(LengthPrefixedUnits)
        if(auto const Tiles = FindVp9Tiles(Payload, Vp9Width); !Tiles.empty())
        {
            std::size_t Count = 0;
            for(auto const& Tile : Tiles)
                if(Tile.m_Length >= 8)
                    Count += Invert(Payload.subspan(Tile.m_Offset + Tile.m_Length / 2, Tile.m_Length - Tile.m_Length / 2));
            return Count;
        }
    return Payload.size() > 2 ? Invert(Payload.subspan(2)) : 0;
}
} // namespace

std::size_t DamageMediaData(std::span<std::uint8_t> Segment, bool LengthPrefixedUnits)
{
    std::size_t Count = 0;
    std::size_t Position = 0;
    std::optional<std::uint32_t> Vp9Width;
    while(auto const Header = ReadBoxHeader(Segment.subspan(Position)))
    {
        std::size_t const Rest = Segment.size() - Position;
        std::uint64_t const Size = Header->Size == 0 ? Rest : Header->Size;
        if(Size < Header->HeaderSize || Size > Rest)
            break; // not a box: leave the rest as it is
        if(Header->Is("mdat"))
            Count += DamagePayload(Segment.subspan(Position + Header->HeaderSize, static_cast<std::size_t>(Size) - Header->HeaderSize), LengthPrefixedUnits, Vp9Width);
        Position += static_cast<std::size_t>(Size);
    }
    return Count;
}
} // namespace Mp4
