// SPDX-License-Identifier: GPL-2.0-or-later
#include "presentation/QueryNumbers.h"

#include <algorithm>
#include <cerrno>
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <locale.h>
#include <string>

#include "base/Check.h"
#include "presentation/Configuration.h"
#include "presentation/OptionTable.h"

namespace Application
{
namespace
{
bool IsBlank(char Character)
{
    return Character == ' ' || (Character >= '\t' && Character <= '\r');
}

// Query numbers never depend on the process locale: a decimal comma in some
// locale would otherwise change what "atd=4.5" means.
locale_t NumberLocale()
{
    static locale_t const Locale = newlocale(LC_NUMERIC_MASK, "C", static_cast<locale_t>(nullptr));
    return Locale;
}
std::optional<std::int64_t> TimeUnits(std::string_view Text)
{
    std::string const Terminated(Text);
    errno = 0;
    CHECK_POINTER(NumberLocale());
    double const Seconds = strtod_l(Terminated.c_str(), nullptr, NumberLocale());
    if((Seconds == 0.0 && errno != 0) || !std::isfinite(Seconds) || std::fabs(Seconds) > MaximalTimeSeconds)
        return std::nullopt;
    return static_cast<std::int64_t>(Seconds * static_cast<double>(TimeUnitsPerSecond));
}

// Digits, after a '-' when the option takes negative numbers.
std::optional<std::int64_t> StrictInteger(std::string_view Text, QueryOption const& Option)
{
    bool const Negative = Option.Minimum && *Option.Minimum < 0 && Text.starts_with('-');
    if(Negative)
        Text.remove_prefix(1);
    double const Bound = Negative ? -*Option.Minimum : Option.Maximum.value_or(static_cast<double>(std::numeric_limits<std::int64_t>::max()));
    auto const Magnitude = ParseDecimal(Text, static_cast<std::uint64_t>(Bound));
    if(!Magnitude)
        return std::nullopt;
    return Negative ? -static_cast<std::int64_t>(*Magnitude) : static_cast<std::int64_t>(*Magnitude);
}
} // namespace

std::int32_t ConvertInteger(std::string_view Text, std::size_t* Converted) noexcept
{
    std::size_t Position = 0;
    while(Position < Text.size() && IsBlank(Text[Position]))
        ++Position;
    bool Negative = false;
    if(Position < Text.size() && (Text[Position] == '+' || Text[Position] == '-'))
        Negative = Text[Position++] == '-';
    std::size_t const DigitsStart = Position;
    std::int64_t Magnitude = 0;
    constexpr std::int64_t Saturated = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1;
    for(; Position < Text.size() && Text[Position] >= '0' && Text[Position] <= '9'; ++Position)
        Magnitude = std::min(Magnitude * 10 + (Text[Position] - '0'), Saturated);
    if(Converted)
        *Converted = Position == DigitsStart ? 0 : Position;
    std::int64_t const Value = Negative ? -Magnitude : Magnitude;
    if(Value > std::numeric_limits<std::int32_t>::max())
        return std::numeric_limits<std::int32_t>::max();
    return static_cast<std::int32_t>(Value);
}

std::optional<std::uint64_t> ParseDecimal(std::string_view Text, std::uint64_t Maximal) noexcept
{
    if(Text.empty())
        return std::nullopt;
    std::uint64_t Value = 0;
    for(char Character : Text)
    {
        if(Character < '0' || Character > '9')
            return std::nullopt;
        auto const Digit = static_cast<std::uint64_t>(Character - '0');
        if(Digit > Maximal || Value > (Maximal - Digit) / 10)
            return std::nullopt;
        Value = Value * 10 + Digit;
    }
    return Value;
}

std::int64_t ConvertTime(std::string_view Text)
{
    auto const Units = TimeUnits(Text);
    CHECK_ARGUMENT(Units.has_value());
    return *Units;
}

QueryStringNameValue const* FindOption(QueryVector const& Query, QueryOption const& Option)
{
    for(auto const& Pair : Query)
        if(Option.Named(Pair.Name))
            return &Pair;
    return nullptr;
}

QueryStringNameValue const* FindOption(QueryVector const& Query, std::string_view Name)
{
    return FindOption(Query, OptionTable::Get(Name));
}

bool QueryFlag(QueryVector const& Query, std::string_view Name)
{
    return FindOption(Query, Name) != nullptr;
}

std::optional<std::int64_t> QueryInteger(QueryVector const& Query, QueryOption const& Option)
{
    ASSERT(Option.Kind == OptionKind::Integer);
    auto const* Pair = FindOption(Query, Option);
    if(!Pair)
        return std::nullopt;
    std::int64_t Value = 0;
    if(Option.Digits == OptionDigits::Lenient)
        Value = ConvertInteger(Pair->Value);
    else if(auto const Strict = StrictInteger(Pair->Value, Option))
        Value = *Strict;
    else
        Option.Refuse(Pair->Value);
    if((Option.Minimum && static_cast<double>(Value) < *Option.Minimum) || (Option.Maximum && static_cast<double>(Value) > *Option.Maximum))
        Option.Refuse(Pair->Value);
    return Value;
}

std::optional<std::int64_t> QueryInteger(QueryVector const& Query, std::string_view Name)
{
    return QueryInteger(Query, OptionTable::Get(Name, OptionKind::Integer));
}

std::optional<std::int64_t> QueryTime(QueryVector const& Query, QueryOption const& Option)
{
    ASSERT(Option.Kind == OptionKind::Time);
    auto const* Pair = FindOption(Query, Option);
    if(!Pair)
        return std::nullopt;
    auto const Units = TimeUnits(Pair->Value);
    // Bounds are compared in the units the value was truncated to: "part=0.1"
    // is the minimum part whatever the binary fraction of 0.1 gives.
    auto const InUnits = [](double Seconds) { return std::llround(Seconds * static_cast<double>(TimeUnitsPerSecond)); };
    if(!Units || (Option.Minimum && *Units < InUnits(*Option.Minimum)) || (Option.Maximum && *Units > InUnits(*Option.Maximum)))
        Option.Refuse(Pair->Value);
    return Units;
}

std::optional<std::int64_t> QueryTime(QueryVector const& Query, std::string_view Name)
{
    return QueryTime(Query, OptionTable::Get(Name, OptionKind::Time));
}

std::optional<std::string_view> QueryChoice(QueryVector const& Query, QueryOption const& Option)
{
    ASSERT(Option.Kind == OptionKind::Choice);
    auto const* Pair = FindOption(Query, Option);
    if(!Pair)
        return std::nullopt;
    if(Pair->Value.empty() && !Option.Default.empty())
        return Option.Default;
    auto const Found = std::find(Option.Choices.begin(), Option.Choices.end(), Pair->Value);
    if(Found == Option.Choices.end())
        Option.Refuse(Pair->Value);
    return *Found;
}

std::optional<std::vector<std::uint8_t>> QueryHex(QueryVector const& Query, QueryOption const& Option)
{
    ASSERT(Option.Kind == OptionKind::Hex);
    auto const* Pair = FindOption(Query, Option);
    if(!Pair)
        return std::nullopt;
    std::vector<std::uint8_t> Bytes;
    // The three statuses of ParseBase16 say what is wrong; the message names the option.
    HRESULT const Status = StatusBoundary([&] { Bytes = Configuration::ParseBase16(Pair->Value, Option.Bytes); });
    if(Failed(Status))
        Option.Refuse(Pair->Value, Status);
    return Bytes;
}
} // namespace Application
