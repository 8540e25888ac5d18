// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/live/FragmentCutter.h"

#include "mp4/Mp4BoxHeader.h"

namespace Application
{
void FragmentCutter::Append(std::span<std::uint8_t const> Bytes)
{
    m_Bytes.insert(m_Bytes.end(), Bytes.begin(), Bytes.end());
    Scan();
}

void FragmentCutter::Scan()
{
    while(!m_Malformed)
    {
        auto const Header = Mp4::ReadBoxHeader(std::span(m_Bytes).subspan(m_Offset));
        if(!Header)
            return;
        // Size 0 (to the end of the file) has no place inside a segment.
        if(!Header->IsBounded())
        {
            m_Malformed = true;
            return;
        }
        if(Header->Size > m_Bytes.size() - m_Offset)
            return;
        if(Header->Is("moof"))
        {
            m_FragmentStarts.push_back(m_Offset);
            m_AwaitingData = true;
        }
        else if(Header->Is("mdat") && m_AwaitingData)
        {
            ++m_Complete;
            m_AwaitingData = false;
        }
        m_Offset += static_cast<std::size_t>(Header->Size);
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
