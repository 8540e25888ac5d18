// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/FragmentCutter.h"

#include <cstring>

namespace Application
{
namespace
{
std::uint64_t ReadBigEndian(std::uint8_t const* Data, std::size_t Size)
{
    std::uint64_t Value = 0;
    for(std::size_t Index = 0; Index < Size; ++Index)
        Value = (Value << 8) | Data[Index];
    return Value;
}

bool IsType(std::uint8_t const* Header, char const* Type)
{
    return std::memcmp(Header + 4, Type, 4) == 0;
}
} // namespace

void FragmentCutter::Append(std::span<std::uint8_t const> Bytes)
{
    m_Bytes.insert(m_Bytes.end(), Bytes.begin(), Bytes.end());
    Scan();
}

void FragmentCutter::Scan()
{
    while(!m_Malformed && m_Bytes.size() - m_Offset >= 8)
    {
        std::uint8_t const* Header = m_Bytes.data() + m_Offset;
        std::uint64_t Size = ReadBigEndian(Header, 4);
        std::uint64_t HeaderSize = 8;
        if(Size == 1)
        {
            if(m_Bytes.size() - m_Offset < 16)
                return;
            Size = ReadBigEndian(Header + 8, 8);
            HeaderSize = 16;
        }
        // Size 0 (to the end of the file) has no place inside a segment.
        if(Size < HeaderSize)
        {
            m_Malformed = true;
            return;
        }
        if(Size > m_Bytes.size() - m_Offset)
            return;
        if(IsType(Header, "moof"))
        {
            m_FragmentStarts.push_back(m_Offset);
            m_AwaitingData = true;
        }
        else if(IsType(Header, "mdat") && m_AwaitingData)
        {
            ++m_Complete;
            m_AwaitingData = false;
        }
        m_Offset += static_cast<std::size_t>(Size);
    }
}

std::optional<std::vector<std::uint8_t>> FragmentCutter::Cut(std::size_t First, std::size_t Count) const
{
    if(Count == 0 || First + Count > m_Complete)
        return std::nullopt;
    std::size_t const Begin = m_FragmentStarts[First];
    std::size_t const End = First + Count < m_FragmentStarts.size() ? m_FragmentStarts[First + Count] : m_Offset;
    return std::vector<std::uint8_t>(m_Bytes.begin() + static_cast<std::ptrdiff_t>(Begin), m_Bytes.begin() + static_cast<std::ptrdiff_t>(End));
}
} // namespace Application
