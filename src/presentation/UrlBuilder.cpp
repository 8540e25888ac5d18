// SPDX-License-Identifier: GPL-2.0-or-later
#include "presentation/UrlBuilder.h"

namespace Application
{
UrlBuilder::UrlBuilder(std::string Path) : m_Path(std::move(Path))
{
}

UrlBuilder& UrlBuilder::Add(std::string Name, std::int32_t Value)
{
    return Add(std::move(Name), std::to_string(Value));
}

UrlBuilder& UrlBuilder::Add(std::string Name, std::string Value)
{
    m_Pairs.emplace_back(std::move(Name), std::move(Value));
    return *this;
}

std::string UrlBuilder::Text() const
{
    std::string Text = m_Path;
    for(std::size_t Index = 0; Index < m_Pairs.size(); ++Index)
    {
        Text += Index == 0 ? '?' : '&';
        Text += m_Pairs[Index].first;
        if(!m_Pairs[Index].second.empty())
            Text += '=' + m_Pairs[Index].second;
    }
    return Text;
}

std::string UrlBuilder::EscapedText() const
{
    std::string Escaped;
    for(char Character : Text())
    {
        if(Character == '&')
            Escaped += "&amp;";
        else
            Escaped += Character;
    }
    return Escaped;
}
} // namespace Application
