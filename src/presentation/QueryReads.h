// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/QueryStringNameValue.h"

namespace Application
{
// A manifest query as one parse reads it. Every lookup notes the name it
// asked for, so that afterwards Read() holds exactly what the parse could
// have seen: the first pair of each name looked up, and every pair of the
// names a parser reads whole (NoteEvery: fault rules). Parsed again, those
// pairs give the same asset, and keys no parser knows are left out: the
// asset store keeps Read() alone, so a client cannot fill it with junk keys,
// and the list of recognised keys is the parser itself.
class QueryReads
{
public:
    explicit QueryReads(QueryVector const& Query) : m_Query(Query) {}

    // As FindQueryValue, QueryFlag, QueryInteger and QueryTime.
    QueryStringNameValue const* Find(std::string_view Name);
    bool Flag(std::string_view Name) { return Find(Name) != nullptr; }
    std::optional<std::int32_t> Integer(std::string_view Name);
    std::optional<std::int64_t> Time(std::string_view Name);

    // For a parser that goes through all pairs: it reads every pair of Name.
    void NoteEvery(std::string_view Name);
    QueryVector const& All() const noexcept { return m_Query; }

    // The pairs read, in their order.
    QueryVector Read() const;

private:
    QueryVector const& m_Query;
    std::vector<std::string> m_First;
    std::vector<std::string> m_Every;
};
} // namespace Application
