// SPDX-License-Identifier: GPL-2.0-or-later
#include "http/ByteRange.h"

#include <charconv>
#include <optional>

#include "base/StringFormat.h"

namespace HttpServer
{
namespace
{
// Decimal digits only: a sign or a blank inside makes the field malformed.
std::optional<std::uint64_t> ParseDigits(std::string_view Text)
{
    if(Text.empty())
        return std::nullopt;
    std::uint64_t Value = 0;
    auto const Result = std::from_chars(Text.data(), Text.data() + Text.size(), Value);
    if(Result.ec != std::errc() || Result.ptr != Text.data() + Text.size())
        return std::nullopt;
    return Value;
}
} // namespace

ByteRange ByteRange::Evaluate(std::string_view Field, std::uint64_t Length)
{
    ByteRange Whole;
    std::size_t const Equals = Field.find('=');
    if(Equals == std::string_view::npos || !EqualsIgnoreCase(TrimBlanks(Field.substr(0, Equals)), "bytes"))
        return Whole;
    std::string_view const Set = TrimBlanks(Field.substr(Equals + 1));
    if(Set.find(',') != std::string_view::npos)
        return Whole;
    std::size_t const Dash = Set.find('-');
    if(Dash == std::string_view::npos)
        return Whole;
    std::string_view const FirstText = Set.substr(0, Dash);
    std::string_view const LastText = Set.substr(Dash + 1);
    ByteRange Range;
    Range.Result = Outcome::Partial;
    if(FirstText.empty())
    {
        // "-N": the last N bytes.
        auto const Suffix = ParseDigits(LastText);
        if(!Suffix)
            return Whole;
        if(*Suffix == 0 || Length == 0)
            return {Outcome::Unsatisfiable};
        Range.First = *Suffix >= Length ? 0 : Length - *Suffix;
        Range.Last = Length - 1;
        return Range;
    }
    auto const First = ParseDigits(FirstText);
    if(!First)
        return Whole;
    std::optional<std::uint64_t> Last;
    if(!LastText.empty())
    {
        Last = ParseDigits(LastText);
        if(!Last || *Last < *First)
            return Whole; // invalid: the field is ignored
    }
    if(*First >= Length)
        return {Outcome::Unsatisfiable};
    Range.First = *First;
    Range.Last = Last && *Last < Length ? *Last : Length - 1;
    return Range;
}
} // namespace HttpServer
