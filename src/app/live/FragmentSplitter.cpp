// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/live/FragmentSplitter.h"

#include "mp4/Mp4BoxHeader.h"

namespace Application
{
namespace
{
// Far beyond any segment the server makes; it keeps the sums below in range.
constexpr std::uint64_t MaximalBoxSize = std::uint64_t{1} << 40;
} // namespace

std::vector<std::string> FragmentSplitter::Append(std::string_view Bytes)
{
    std::vector<std::string> Complete;
    m_Pending.append(Bytes);
    // m_Scan may lie beyond what has arrived: the box before it is not whole yet.
    while(!m_ToEnd && m_Scan + 8 <= m_Pending.size())
    {
        auto const Header = Mp4::ReadBoxHeader(std::span(reinterpret_cast<std::uint8_t const*>(m_Pending.data()), m_Pending.size()).subspan(m_Scan));
        if(!Header)
            break;
        if(Header->Is("moof"))
        {
            if(m_HasFragment && m_Scan > 0)
            {
                Complete.push_back(m_Pending.substr(0, m_Scan));
                m_Pending.erase(0, m_Scan);
                m_Scan = 0;
            }
            m_HasFragment = true;
        }
        // A size that cannot be a box (shorter than a header, or longer than
        // any segment) is taken as running to the end, as one of size 0 is.
        if(!Header->IsBounded() || Header->Size > MaximalBoxSize)
        {
            m_ToEnd = true;
            break;
        }
        m_Scan += static_cast<std::size_t>(Header->Size);
    }
    return Complete;
}

std::vector<std::string> FragmentSplitter::Finish()
{
    std::vector<std::string> Last;
    if(!m_Pending.empty())
        Last.push_back(std::move(m_Pending));
    m_Pending.clear();
    m_Scan = 0;
    m_HasFragment = false;
    m_ToEnd = false;
    return Last;
}
} // namespace Application
