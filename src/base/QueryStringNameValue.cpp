// SPDX-License-Identifier: GPL-2.0-or-later
#include "base/QueryStringNameValue.h"

#include "base/HexadecimalDigit.h"

#include "base/Check.h"

namespace
{
// Appends one code point below 256 as UTF-8.
void AppendCodePoint(std::string& Text, unsigned Value)
{
    if(Value < 0x80)
    {
        Text.push_back(static_cast<char>(Value));
        return;
    }
    Text.push_back(static_cast<char>(0xC0 | (Value >> 6)));
    Text.push_back(static_cast<char>(0x80 | (Value & 0x3F)));
}
} // namespace

std::string QueryStringNameValue::Unescape(std::string_view Text)
{
    std::string Result;
    Result.reserve(Text.size());
    for(std::size_t Index = 0; Index < Text.size(); ++Index)
    {
        char const Character = Text[Index];
        if(Character == '+')
        {
            Result.push_back(' ');
            continue;
        }
        if(Character != '%' || Text.size() - Index < 3)
        {
            Result.push_back(Character);
            continue;
        }
        // Like a hexadecimal number conversion of "0x" and the two characters:
        // it needs one digit and stops before a second character that is none.
        int const High = HexadecimalDigitValue(Text[Index + 1]);
        int const Low = HexadecimalDigitValue(Text[Index + 2]);
        CHECK_CONDITION(High >= 0, E_INVALIDARG);
        AppendCodePoint(Result, static_cast<unsigned>(Low >= 0 ? High * 16 + Low : High));
        Index += 2;
    }
    return Result;
}

QueryVector ParseQueryString(std::string_view QueryString)
{
    if(QueryString.starts_with('?'))
        QueryString.remove_prefix(1);
    QueryVector Vector;
    while(!QueryString.empty())
    {
        std::size_t const End = QueryString.find('&');
        std::string_view const Piece = QueryString.substr(0, End);
        QueryString = End == std::string_view::npos ? std::string_view() : QueryString.substr(End + 1);
        if(Piece.empty())
            continue;
        std::size_t const Equals = Piece.find('=');
        if(Equals == std::string_view::npos)
            Vector.push_back({QueryStringNameValue::Unescape(Piece), {}});
        else
            Vector.push_back({QueryStringNameValue::Unescape(Piece.substr(0, Equals)), QueryStringNameValue::Unescape(Piece.substr(Equals + 1))});
    }
    return Vector;
}

QueryStringNameValue const* FindQueryValue(QueryVector const& Vector, std::string_view Name)
{
    for(auto const& Pair : Vector)
        if(Pair.Name == Name)
            return &Pair;
    return nullptr;
}
