// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/FragmentSplitter.h"

namespace Application
{
namespace
{
// Far beyond any segment the server makes; it keeps the sums below in range.
constexpr std::uint64_t MaximalBoxSize = std::uint64_t{1} << 40;

std::uint64_t BigEndian(std::string_view Bytes)
{
    std::uint64_t Value = 0;
    for(char Byte : Bytes)
        Value = (Value << 8) | static_cast<std::uint8_t>(Byte);
    return Value;
}
} // namespace

std::vector<std::string> FragmentSplitter::Append(std::string_view Bytes)
{
    std::vector<std::string> Complete;
    m_Pending.append(Bytes);
    // m_Scan may lie beyond what has arrived: the box before it is not whole yet.
    while(!m_ToEnd && m_Scan + 8 <= m_Pending.size())
    {
        std::string_view const Header(m_Pending.data() + m_Scan, m_Pending.size() - m_Scan);
        std::uint64_t Size = BigEndian(Header.substr(0, 4));
        if(Size == 1)
        {
            if(Header.size() < 16)
                break;
            Size = BigEndian(Header.substr(8, 8));
        }
        if(Header.substr(4, 4) == "moof")
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
        if(Size < 8 || Size > MaximalBoxSize)
        {
            m_ToEnd = true;
            break;
        }
        m_Scan += static_cast<std::size_t>(Size);
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
