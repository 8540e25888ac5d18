// SPDX-License-Identifier: GPL-2.0-or-later
#include "media/FlacFrameHeader.h"

#include <array>

#include "base/Check.h"

namespace Application
{
namespace
{
// Sync code, blocking strategy, block size and rate codes, channels and
// sample size: the four bytes before the coded number.
constexpr std::size_t NumberOffset = 4;
constexpr std::size_t Crc16Size = 2;

struct HeaderLayout
{
    std::size_t NumberSize;
    // The coded number's end to the CRC-8: optional block size and rate.
    std::size_t TailSize;
};

std::size_t CodedNumberSize(std::uint8_t First)
{
    if((First & 0x80) == 0)
        return 1;
    std::size_t Ones = 0;
    for(std::uint8_t Mask = 0x80; (First & Mask) != 0 && Mask != 0; Mask >>= 1)
        ++Ones;
    CHECK_LINE(Ones >= 2 && Ones <= 7);
    return Ones;
}

HeaderLayout Layout(std::vector<std::uint8_t> const& Frame)
{
    CHECK_LINE(Frame.size() > NumberOffset + 1 + Crc16Size);
    // Sync code 0b11111111111110, reserved 0, fixed block size.
    CHECK_LINE(Frame[0] == 0xFF && Frame[1] == 0xF8);
    std::size_t const NumberSize = CodedNumberSize(Frame[NumberOffset]);
    std::uint8_t const BlockSizeCode = Frame[2] >> 4;
    std::uint8_t const RateCode = Frame[2] & 0x0F;
    std::size_t TailSize = 0;
    if(BlockSizeCode == 6 || BlockSizeCode == 7)
        TailSize += BlockSizeCode - 5;
    if(RateCode >= 12 && RateCode <= 14)
        TailSize += RateCode == 12 ? 1 : 2;
    CHECK_LINE(Frame.size() > NumberOffset + NumberSize + TailSize + 1 + Crc16Size);
    return {NumberSize, TailSize};
}

std::vector<std::uint8_t> CodedNumber(std::uint64_t Number)
{
    if(Number < 0x80)
        return {static_cast<std::uint8_t>(Number)};
    // Continuation bytes carry six bits each; the lead byte has one marker
    // bit per byte of the code and the rest of the value.
    std::vector<std::uint8_t> Continuation;
    std::uint64_t Rest = Number;
    std::size_t Size = 1;
    do
    {
        Continuation.insert(Continuation.begin(), static_cast<std::uint8_t>(0x80 | (Rest & 0x3F)));
        Rest >>= 6;
        ++Size;
    } while(Rest >= (std::uint64_t{1} << (7 - Size)));
    std::uint8_t const Marker = static_cast<std::uint8_t>(0xFF00 >> Size);
    Continuation.insert(Continuation.begin(), static_cast<std::uint8_t>(Marker | Rest));
    return Continuation;
}
} // namespace

std::uint64_t FlacFrameHeader::FrameNumber(std::vector<std::uint8_t> const& Frame)
{
    HeaderLayout const Header = Layout(Frame);
    if(Header.NumberSize == 1)
        return Frame[NumberOffset];
    std::uint64_t Number = Frame[NumberOffset] & (0x7F >> Header.NumberSize);
    for(std::size_t Index = 1; Index < Header.NumberSize; ++Index)
        Number = (Number << 6) | (Frame[NumberOffset + Index] & 0x3F);
    return Number;
}

void FlacFrameHeader::Renumber(std::vector<std::uint8_t>& Frame, std::uint64_t Number)
{
    CHECK_ARGUMENT(Number <= MaximalFrameNumber);
    HeaderLayout const Header = Layout(Frame);
    std::vector<std::uint8_t> const Coded = CodedNumber(Number);
    auto const NumberStart = Frame.begin() + NumberOffset;
    Frame.erase(NumberStart, NumberStart + static_cast<std::ptrdiff_t>(Header.NumberSize));
    Frame.insert(Frame.begin() + NumberOffset, Coded.begin(), Coded.end());
    std::size_t const HeaderSize = NumberOffset + Coded.size() + Header.TailSize;
    Frame[HeaderSize] = Crc8(Frame.data(), HeaderSize);
    std::uint16_t const Check = Crc16(Frame.data(), Frame.size() - Crc16Size);
    Frame[Frame.size() - 2] = static_cast<std::uint8_t>(Check >> 8);
    Frame[Frame.size() - 1] = static_cast<std::uint8_t>(Check);
}

std::uint8_t FlacFrameHeader::Crc8(std::uint8_t const* Data, std::size_t Size) noexcept
{
    // Polynomial x^8 + x^2 + x + 1, most significant bit first, from 0.
    std::uint8_t Crc = 0;
    for(std::size_t Index = 0; Index < Size; ++Index)
    {
        Crc ^= Data[Index];
        for(int Bit = 0; Bit < 8; ++Bit)
            Crc = static_cast<std::uint8_t>((Crc & 0x80) ? (Crc << 1) ^ 0x07 : Crc << 1);
    }
    return Crc;
}

std::uint16_t FlacFrameHeader::Crc16(std::uint8_t const* Data, std::size_t Size) noexcept
{
    // Polynomial x^16 + x^15 + x^2 + 1, most significant bit first, from 0.
    // Frames are tens of kilobytes: a table keeps this off the profile.
    static constexpr auto Table = [] {
        std::array<std::uint16_t, 256> Value{};
        for(unsigned Byte = 0; Byte < 256; ++Byte)
        {
            auto Crc = static_cast<std::uint16_t>(Byte << 8);
            for(int Bit = 0; Bit < 8; ++Bit)
                Crc = static_cast<std::uint16_t>((Crc & 0x8000) ? (Crc << 1) ^ 0x8005 : Crc << 1);
            Value[Byte] = Crc;
        }
        return Value;
    }();
    std::uint16_t Crc = 0;
    for(std::size_t Index = 0; Index < Size; ++Index)
        Crc = static_cast<std::uint16_t>((Crc << 8) ^ Table[((Crc >> 8) ^ Data[Index]) & 0xFF]);
    return Crc;
}
} // namespace Application
