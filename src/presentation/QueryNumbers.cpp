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
    std::string const Terminated(Text);
    errno = 0;
    CHECK_POINTER(NumberLocale());
    double const Seconds = strtod_l(Terminated.c_str(), nullptr, NumberLocale());
    CHECK_ARGUMENT(Seconds != 0.0 || errno == 0);
    CHECK_ARGUMENT(std::isfinite(Seconds) && std::fabs(Seconds) <= MaximalTimeSeconds);
    return static_cast<std::int64_t>(Seconds * static_cast<double>(TimeUnitsPerSecond));
}

std::optional<std::int32_t> QueryInteger(QueryVector const& Query, std::string_view Name)
{
    auto const* Pair = FindQueryValue(Query, Name);
    if(!Pair)
        return std::nullopt;
    return ConvertInteger(Pair->Value);
}

std::optional<std::int64_t> QueryTime(QueryVector const& Query, std::string_view Name)
{
    auto const* Pair = FindQueryValue(Query, Name);
    if(!Pair)
        return std::nullopt;
    return ConvertTime(Pair->Value);
}

bool QueryFlag(QueryVector const& Query, std::string_view Name)
{
    return FindQueryValue(Query, Name) != nullptr;
}
} // namespace Application
