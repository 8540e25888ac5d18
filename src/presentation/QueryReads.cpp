// SPDX-License-Identifier: GPL-2.0-or-later
#include "presentation/QueryReads.h"

#include <algorithm>

#include "presentation/QueryNumbers.h"

namespace Application
{
namespace
{
bool Holds(std::vector<std::string> const& Names, std::string_view Name)
{
    return std::find(Names.begin(), Names.end(), Name) != Names.end();
}

void Note(std::vector<std::string>& Names, std::string_view Name)
{
    if(!Holds(Names, Name))
        Names.emplace_back(Name);
}
} // namespace

QueryStringNameValue const* QueryReads::Find(std::string_view Name)
{
    Note(m_First, Name);
    return FindQueryValue(m_Query, Name);
}

std::optional<std::int32_t> QueryReads::Integer(std::string_view Name)
{
    Note(m_First, Name);
    return QueryInteger(m_Query, Name);
}

std::optional<std::int64_t> QueryReads::Time(std::string_view Name)
{
    Note(m_First, Name);
    return QueryTime(m_Query, Name);
}

void QueryReads::NoteEvery(std::string_view Name)
{
    Note(m_Every, Name);
}

QueryVector QueryReads::Read() const
{
    QueryVector Result;
    std::vector<std::string_view> Seen;
    for(auto const& Pair : m_Query)
    {
        bool const First = std::find(Seen.begin(), Seen.end(), Pair.Name) == Seen.end();
        if(First)
            Seen.push_back(Pair.Name);
        // Lookups take the first pair of a name: the others change nothing.
        if(Holds(m_Every, Pair.Name) || (First && Holds(m_First, Pair.Name)))
            Result.push_back(Pair);
    }
    return Result;
}
} // namespace Application
