// SPDX-License-Identifier: GPL-2.0-or-later
#include "presentation/QueryReads.h"

#include <algorithm>

#include "presentation/OptionTable.h"
#include "presentation/QueryNumbers.h"

namespace Application
{
namespace
{
bool Holds(std::vector<QueryOption const*> const& Options, std::string_view Name)
{
    return std::any_of(Options.begin(), Options.end(), [Name](QueryOption const* Option) { return Option->Named(Name); });
}

void Add(std::vector<QueryOption const*>& Options, QueryOption const& Option)
{
    if(std::find(Options.begin(), Options.end(), &Option) == Options.end())
        Options.push_back(&Option);
}
} // namespace

QueryOption const& QueryReads::Note(std::string_view Name, std::optional<OptionKind> Kind)
{
    auto const& Option = OptionTable::Kept(Name, Kind);
    Add(m_First, Option);
    return Option;
}

QueryStringNameValue const* QueryReads::Find(std::string_view Name)
{
    return FindOption(m_Query, Note(Name, std::nullopt));
}

std::optional<std::int64_t> QueryReads::Integer(std::string_view Name)
{
    return QueryInteger(m_Query, Note(Name, OptionKind::Integer));
}

std::optional<std::int64_t> QueryReads::Time(std::string_view Name)
{
    return QueryTime(m_Query, Note(Name, OptionKind::Time));
}

std::optional<std::string_view> QueryReads::Choice(std::string_view Name)
{
    return QueryChoice(m_Query, Note(Name, OptionKind::Choice));
}

std::optional<std::vector<std::uint8_t>> QueryReads::Hex(std::string_view Name)
{
    return QueryHex(m_Query, Note(Name, OptionKind::Hex));
}

QueryStringNameValue const* QueryReads::Text(std::string_view Name)
{
    return FindOption(m_Query, Note(Name, OptionKind::Text));
}

void QueryReads::NoteEvery(std::string_view Name)
{
    Add(m_Every, OptionTable::Kept(Name));
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
        // Lookups take the first pair of a name (or alias): the others change
        // nothing. With an alias, the first pair of each name is kept, and the
        // lookup parsing them again takes the same one of the two.
        if(Holds(m_Every, Pair.Name) || (First && Holds(m_First, Pair.Name)))
            Result.push_back(Pair);
    }
    return Result;
}
} // namespace Application
