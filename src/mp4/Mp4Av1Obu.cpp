// SPDX-License-Identifier: GPL-2.0-or-later
#include "mp4/Mp4Av1Obu.h"

#include "base/Check.h"

namespace Mp4
{
namespace
{
// A LEB128 value of at most 8 bytes, as an OBU size is coded.
std::uint64_t ReadLeb128(std::span<std::uint8_t const> Data, std::size_t& Offset)
{
    std::uint64_t Value = 0;
    for(unsigned Index = 0; Index < 8; ++Index)
    {
        CHECK_ARGUMENT(Offset < Data.size());
        std::uint8_t const Byte = Data[Offset++];
        Value |= static_cast<std::uint64_t>(Byte & 0x7F) << (Index * 7);
        if(!(Byte & 0x80))
            return Value;
    }
    CHECK_ARGUMENT(false);
    return 0;
}
} // namespace

std::vector<Av1Obu> Av1Obu::Split(std::span<std::uint8_t const> Data)
{
    std::vector<Av1Obu> Result;
    std::size_t Offset = 0;
    while(Offset < Data.size())
    {
        std::size_t const Start = Offset;
        std::uint8_t const Header = Data[Offset++];
        CHECK_ARGUMENT(!(Header & 0x80)); // obu_forbidden_bit
        bool const Extension = Header & 0x04;
        bool const HasSize = Header & 0x02;
        if(Extension)
        {
            CHECK_ARGUMENT(Offset < Data.size());
            ++Offset;
        }
        std::size_t Size = Data.size() - Offset;
        if(HasSize)
        {
            std::uint64_t const Coded = ReadLeb128(Data, Offset);
            CHECK_ARGUMENT(Coded <= Data.size() - Offset);
            Size = static_cast<std::size_t>(Coded);
        }
        Av1Obu& Obu = Result.emplace_back();
        Obu.m_Type = static_cast<std::uint8_t>((Header >> 3) & 0x0F);
        Obu.m_Payload = Data.subspan(Offset, Size);
        Obu.m_Whole = Data.subspan(Start, Offset + Size - Start);
        Offset += Size;
    }
    return Result;
}

std::vector<std::uint8_t> Av1Obu::WithoutDelimiters(std::span<std::uint8_t const> Data)
{
    std::vector<std::uint8_t> Result;
    Result.reserve(Data.size());
    for(auto const& Obu : Split(Data))
        if(Obu.m_Type != TemporalDelimiterType && Obu.m_Type != PaddingType)
            Result.insert(Result.end(), Obu.m_Whole.begin(), Obu.m_Whole.end());
    return Result;
}
} // namespace Mp4
