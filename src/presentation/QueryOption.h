// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/Status.h"

namespace Application
{
// What a query option takes; the names are the ones options.json shows.
enum class OptionKind
{
    Flag,    // present or not; the value is ignored
    Integer, // a whole number
    Time,    // decimal seconds
    Hex,     // hexadecimal digits, two per byte
    Choice,  // one of Choices
    Text,    // free text the reader checks itself (a fault rule, a time stamp)
};

// "flag", "integer", "time", "hex", "choice", "text".
std::string_view OptionKindName(OptionKind Kind) noexcept;

// How an integer option's text becomes a number.
enum class OptionDigits
{
    // ConvertInteger: blanks, a sign, digits up to the first other character.
    Lenient,
    // Digits and nothing else (ParseDecimal): numbers that name a segment,
    // part or period, where "1e3" or "-1" must not name something else.
    Strict,
};

// One query key the server reads, one row of OptionTable: what it takes,
// which routes take it, and how a bad value is answered. Its reader is
// QueryNumbers' lookups (and QueryReads for a manifest's parse), which take
// the row and refuse values outside its range with its Failure code.
struct QueryOption
{
    std::string_view Name;
    // Another name for the same option; the lookups take whichever comes first.
    std::string_view Alias;
    std::string_view Group; // OptionTable::Groups() id
    OptionKind Kind = OptionKind::Flag;
    // Integer: whole numbers; Time: seconds. Nothing when the reader has no
    // bound of its own beyond the conversion's.
    std::optional<double> Minimum;
    std::optional<double> Maximum;
    std::string_view Default; // display text, "" when there is none
    std::vector<std::string_view> Choices;
    std::vector<std::string_view> Routes;
    // Choices that only one of Routes takes: the choice and that route
    // (the home page leaves such a choice out of the other routes' addresses).
    std::vector<std::pair<std::string_view, std::string_view>> ChoiceRoutes;
    std::string_view Help;    // one line
    std::string_view Example; // a value, for the kinds whose form is not obvious
    // The status of the refusal of a bad value.
    HRESULT Failure = E_INVALIDARG;
    OptionDigits Digits = OptionDigits::Lenient;
    // Hex: the number of bytes.
    std::size_t Bytes = 0;

    bool Named(std::string_view Text) const noexcept { return Text == Name || (!Alias.empty() && Text == Alias); }
    // What a good value is, e.g. "a time in seconds from 0.1 to 10".
    std::string Expected() const;
    // Raises Failure (or Code) with "Invalid \"<Name>\" \"<Value>\": <Expected()>",
    // quoting at most QuotedCharacters of the value.
    [[noreturn]] void Refuse(std::string_view Value) const;
    [[noreturn]] void Refuse(std::string_view Value, HRESULT Code) const;
    static constexpr std::size_t QuotedCharacters = 40;

    // A bound as people write it: "0.1", "86400", "0.0000001" (100 ns).
    static std::string FormatNumber(double Value);
};
} // namespace Application
