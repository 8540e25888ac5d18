// SPDX-License-Identifier: GPL-2.0-or-later
#include "presentation/LiveEvent.h"

#include "presentation/QueryNumbers.h"
#include "presentation/RequestTime.h"

namespace Application
{
namespace
{
constexpr std::size_t MaximalFractionDigits = 7; // 100 ns

// "[-]digits[.digits]" in 100-ns units, computed without floating point so
// that "0.1" is exactly 1,000,000 units. No "+": a query's "+" is a blank.
std::optional<std::int64_t> SecondsAsUnits(std::string_view Text)
{
    bool const Negative = Text.starts_with('-');
    if(Negative)
        Text.remove_prefix(1);
    auto const Point = Text.find('.');
    auto const Whole = ParseDecimal(Text.substr(0, Point), static_cast<std::uint64_t>(LiveEvent::MaximalDistance / TimeUnitsPerSecond));
    if(!Whole)
        return std::nullopt;
    std::int64_t Units = static_cast<std::int64_t>(*Whole) * TimeUnitsPerSecond;
    if(Point != std::string_view::npos)
    {
        auto const Fraction = Text.substr(Point + 1);
        if(Fraction.size() > MaximalFractionDigits || !ParseDecimal(Fraction, 9'999'999))
            return std::nullopt;
        std::int64_t Scale = TimeUnitsPerSecond;
        for(char Character : Fraction)
            Units += (Character - '0') * (Scale /= 10);
    }
    return Negative ? -Units : Units;
}
} // namespace

std::optional<std::int64_t> LiveEvent::ParseTime(std::string_view Text, std::int64_t AssetStart)
{
    std::optional<std::int64_t> Time;
    if(Text.find('T') != std::string_view::npos)
        Time = RequestTime::ParseUtc(Text);
    else if(auto const Units = SecondsAsUnits(Text))
        Time = AssetStart + *Units;
    if(!Time || *Time < AssetStart - MaximalDistance || *Time > AssetStart + MaximalDistance)
        return std::nullopt;
    return Time;
}
} // namespace Application
