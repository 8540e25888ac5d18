// SPDX-License-Identifier: GPL-2.0-or-later
#include "mp4/Mp4BoxWriter.h"

#include <utility>
#include <cstring>

#include "base/Check.h"
#include "mp4/Mp4Box.h"

namespace Mp4
{
namespace
{
constexpr std::uint32_t UuidType = MakeFourCc("uuid");
constexpr std::size_t LargeSizeLength = 8;

void StoreU32(std::uint8_t* Target, std::uint32_t Value) noexcept
{
    Target[0] = static_cast<std::uint8_t>(Value >> 24);
    Target[1] = static_cast<std::uint8_t>(Value >> 16);
    Target[2] = static_cast<std::uint8_t>(Value >> 8);
    Target[3] = static_cast<std::uint8_t>(Value);
}

std::uint32_t LoadU32(std::uint8_t const* Source) noexcept
{
    return static_cast<std::uint32_t>(Source[0]) << 24 | static_cast<std::uint32_t>(Source[1]) << 16 | static_cast<std::uint32_t>(Source[2]) << 8 | Source[3];
}

void StoreU64(std::uint8_t* Target, std::uint64_t Value) noexcept
{
    StoreU32(Target, static_cast<std::uint32_t>(Value >> 32));
    StoreU32(Target + 4, static_cast<std::uint32_t>(Value));
}
} // namespace

std::uint8_t* BoxWriter::Extend(std::size_t Count)
{
    std::size_t const Required = m_Data.size() + Count;
    if(Required > m_Data.capacity())
        m_Data.reserve((Required + GrowthStep - 1) / GrowthStep * GrowthStep);
    m_Data.resize(Required);
    return m_Data.data() + Required - Count;
}

void BoxWriter::AppendU8(std::uint8_t Value) { *Extend(1) = Value; }

void BoxWriter::AppendU16(std::uint16_t Value)
{
    std::uint8_t* const Target = Extend(2);
    Target[0] = static_cast<std::uint8_t>(Value >> 8);
    Target[1] = static_cast<std::uint8_t>(Value);
}

void BoxWriter::AppendU24(std::uint32_t Value)
{
    ASSERT(!(Value >> 24));
    std::uint8_t* const Target = Extend(3);
    Target[0] = static_cast<std::uint8_t>(Value >> 16);
    Target[1] = static_cast<std::uint8_t>(Value >> 8);
    Target[2] = static_cast<std::uint8_t>(Value);
}

void BoxWriter::AppendU32(std::uint32_t Value) { StoreU32(Extend(4), Value); }

void BoxWriter::AppendU64(std::uint64_t Value) { StoreU64(Extend(8), Value); }

void BoxWriter::AppendBytes(std::span<std::uint8_t const> Bytes)
{
    if(!Bytes.empty())
        std::memcpy(Extend(Bytes.size()), Bytes.data(), Bytes.size());
}

void BoxWriter::AppendZeros(std::size_t Count) { std::memset(Extend(Count), 0, Count); }

void BoxWriter::AppendString(std::string_view Text)
{
    AppendBytes({reinterpret_cast<std::uint8_t const*>(Text.data()), Text.size()});
    AppendU8(0);
}

std::vector<std::uint8_t> BoxWriter::TakeData() noexcept
{
    m_OpenMarkVector.clear();
    return std::exchange(m_Data, {});
}

bool BoxWriter::OpenBox(Box const& Value)
{
    if(!Value.IsPresent())
        return false;
    std::size_t const HeaderSize = Value.m_Type == UuidType ? 24 : 8;
    m_OpenMarkVector.push_back({m_Data.size(), HeaderSize});
    // The size is patched when the box closes; type and usertype are final.
    AppendU32(0);
    AppendU32(Value.m_Type);
    if(Value.m_Type == UuidType)
        AppendBytes(Value.m_UserType);
    return true;
}

bool BoxWriter::OpenFullBox(FullBox const& Value)
{
    ASSERT(!(Value.m_Flags >> 24));
    if(!OpenBox(Value))
        return false;
    AppendU32(static_cast<std::uint32_t>(Value.m_Version) << 24 | Value.m_Flags);
    return true;
}

void BoxWriter::CloseBox()
{
    ASSERT(!m_OpenMarkVector.empty());
    OpenMark const Mark = m_OpenMarkVector.back();
    m_OpenMarkVector.pop_back();
    std::uint8_t const* const Placeholder = m_Data.data() + Mark.m_Position;
    std::uint32_t const Type = LoadU32(Placeholder + 4);
    Bytes16 UserType{};
    if(Type == UuidType)
        std::memcpy(UserType.data(), Placeholder + 8, UserType.size());
    Header const Final = FormatHeader(Type, UserType, m_Data.size() - Mark.m_Position - Mark.m_HeaderSize);
    if(Final.m_Size > Mark.m_HeaderSize)
    {
        // The largesize moves the content back by a few bytes, rarely enough
        // that the copy does not matter.
        std::size_t const Growth = Final.m_Size - Mark.m_HeaderSize;
        std::size_t const ContentPosition = Mark.m_Position + Mark.m_HeaderSize;
        Extend(Growth);
        std::memmove(m_Data.data() + ContentPosition + Growth, m_Data.data() + ContentPosition, m_Data.size() - Growth - ContentPosition);
    }
    std::memcpy(m_Data.data() + Mark.m_Position, Final.m_Bytes.data(), Final.m_Size);
}

BoxWriter::Header BoxWriter::FormatHeader(std::uint32_t Type, Bytes16 const& UserType, std::uint64_t ContentSize) noexcept
{
    bool const Uuid = Type == UuidType;
    std::uint64_t const CompactTotal = (Uuid ? 24 : 8) + ContentSize;
    bool const Large = CompactTotal > 0xFFFFFFFFu;
    Header Result{{}, 8};
    StoreU32(Result.m_Bytes.data(), Large ? 1 : static_cast<std::uint32_t>(CompactTotal));
    StoreU32(Result.m_Bytes.data() + 4, Type);
    if(Large)
    {
        StoreU64(Result.m_Bytes.data() + 8, CompactTotal + LargeSizeLength);
        Result.m_Size += LargeSizeLength;
    }
    if(Uuid)
    {
        std::memcpy(Result.m_Bytes.data() + Result.m_Size, UserType.data(), UserType.size());
        Result.m_Size += UserType.size();
    }
    return Result;
}
} // namespace Mp4
