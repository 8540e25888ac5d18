// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/QueryStringNameValue.h"
#include "presentation/QueryOption.h"

namespace Application
{
// A manifest query as one parse reads it. Every lookup goes through
// OptionTable (a name without a row raises E_UNEXPECTED; a bad value is
// refused as the row says) and notes the option it asked for, so that
// afterwards Read() holds exactly what the parse could have seen: the first
// pair of each option looked up, and every pair of the options a parser
// reads whole (NoteEvery: fault rules). Parsed again, those pairs give the
// same asset, and keys no parser knows are left out: the asset store keeps
// Read() alone, so a client cannot fill it with junk keys.
class QueryReads
{
public:
    explicit QueryReads(QueryVector const& Query) : m_Query(Query) {}

    // As FindOption, QueryFlag, QueryInteger, QueryTime, QueryChoice and QueryHex.
    QueryStringNameValue const* Find(std::string_view Name);
    bool Flag(std::string_view Name) { return Find(Name) != nullptr; }
    std::optional<std::int64_t> Integer(std::string_view Name);
    std::optional<std::int64_t> Time(std::string_view Name);
    std::optional<std::string_view> Choice(std::string_view Name);
    std::optional<std::vector<std::uint8_t>> Hex(std::string_view Name);
    // The pair of a text option (the row of kind Text of a shared key).
    QueryStringNameValue const* Text(std::string_view Name);

    // For a parser that goes through all pairs: it reads every pair of Name.
    void NoteEvery(std::string_view Name);
    QueryVector const& All() const noexcept { return m_Query; }

    // The pairs read, in their order.
    QueryVector Read() const;

private:
    QueryOption const& Note(std::string_view Name, std::optional<OptionKind> Kind);

    QueryVector const& m_Query;
    std::vector<QueryOption const*> m_First;
    std::vector<QueryOption const*> m_Every;
};
} // namespace Application
