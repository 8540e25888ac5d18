// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <string>
#include <string_view>
#include <vector>

// One name/value pair of a request's query, both unescaped. Value is empty
// when the pair has no "=".
struct QueryStringNameValue
{
    std::string Name;
    std::string Value;

    // Decodes one name or value: "+" becomes a blank; "%" and two more
    // characters become the character with that hexadecimal code (0 to 255,
    // one code point, no multi-byte decoding: %C3%A9 gives U+00C3 U+00A9);
    // "%" with fewer than two characters after it stays as it is. A "%" whose
    // next character is not a hexadecimal digit raises E_INVALIDARG.
    static std::string Unescape(std::string_view Text);
};

// The ordered pairs of a query; lookups take the first pair with the name.
using QueryVector = std::vector<QueryStringNameValue>;

// Splits a raw query (one leading "?" is removed) at every "&", skipping empty
// pieces; each piece splits at its first "=".
QueryVector ParseQueryString(std::string_view QueryString);

// The first pair named Name, or null.
QueryStringNameValue const* FindQueryValue(QueryVector const& Vector, std::string_view Name);
