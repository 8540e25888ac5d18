// SPDX-License-Identifier: GPL-2.0-or-later
#include "mp4/Mp4RbspBitReader.h"

#include "base/Check.h"

namespace Mp4
{
namespace
{
// Exp-Golomb codes of the values a parameter set holds fit in 32 bits.
constexpr unsigned MaximalLeadingZeroBits = 31;
} // namespace

std::uint32_t RbspBitReader::ReadBits(unsigned Count)
{
    ASSERT(Count <= 32);
    CHECK_LINE(m_BitPosition + Count <= m_Rbsp.size() * 8);
    std::uint64_t Value = 0;
    for(unsigned Index = 0; Index < Count; ++Index, ++m_BitPosition)
        Value = Value << 1 | ((m_Rbsp[m_BitPosition / 8] >> (7 - m_BitPosition % 8)) & 1);
    return static_cast<std::uint32_t>(Value);
}

void RbspBitReader::SkipBits(std::size_t Count)
{
    CHECK_LINE(m_BitPosition + Count <= m_Rbsp.size() * 8);
    m_BitPosition += Count;
}

std::uint32_t RbspBitReader::ReadUnsignedExpGolomb()
{
    unsigned LeadingZeroBits = 0;
    while(!ReadFlag())
        CHECK_LINE(++LeadingZeroBits <= MaximalLeadingZeroBits);
    return static_cast<std::uint32_t>((1ull << LeadingZeroBits) - 1 + ReadBits(LeadingZeroBits));
}
} // namespace Mp4
