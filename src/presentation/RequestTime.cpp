// SPDX-License-Identifier: GPL-2.0-or-later
#include "presentation/RequestTime.h"

#include <chrono>

#include "base/Check.h"
#include "base/FailureCodes.h"
#include "presentation/QueryNumbers.h"

namespace Application
{
namespace
{
// The last instant the UTC form can write: 9999-12-31T23:59:59.9999999Z.
constexpr std::int64_t LatestUnixMilliseconds = 253'402'300'799'999;
constexpr std::int64_t UnitsPerMillisecond = 10'000;
constexpr std::size_t MaximalMillisecondDigits = 15;
constexpr std::size_t MaximalFractionDigits = 9;

// Digits only, at most Count of them; nothing for an empty or longer text
// or any other character.
std::optional<std::int64_t> Digits(std::string_view Text, std::size_t Count)
{
    if(Text.empty() || Text.size() > Count)
        return std::nullopt;
    std::int64_t Value = 0;
    for(char Character : Text)
    {
        if(Character < '0' || Character > '9')
            return std::nullopt;
        Value = Value * 10 + (Character - '0');
    }
    return Value;
}

std::optional<std::int64_t> ParseMilliseconds(std::string_view Text)
{
    auto const Milliseconds = Digits(Text, MaximalMillisecondDigits);
    if(!Milliseconds || *Milliseconds > LatestUnixMilliseconds)
        return std::nullopt;
    return UnixEpochAbsoluteTime + *Milliseconds * UnitsPerMillisecond;
}

// The 100-ns units of a fraction's digits: "5" is 5,000,000, "1234567" 1,234,567.
std::optional<std::int64_t> ParseFraction(std::string_view Text)
{
    if(Text.empty() || Text.size() > MaximalFractionDigits || !Digits(Text, MaximalFractionDigits))
        return std::nullopt;
    std::int64_t Units = 0;
    std::int64_t Scale = TimeUnitsPerSecond;
    for(std::size_t Index = 0; Index < Text.size() && Scale > 1; ++Index)
    {
        Scale /= 10;
        Units += (Text[Index] - '0') * Scale;
    }
    return Units;
}

} // namespace

// "YYYY-MM-DDTHH:MM:SS" then optional ".fraction", then "Z".
std::optional<std::int64_t> RequestTime::ParseUtc(std::string_view Text)
{
    constexpr std::string_view Pattern = "dddd-dd-ddTdd:dd:dd";
    if(Text.size() < Pattern.size() + 1 || Text.back() != 'Z')
        return std::nullopt;
    for(std::size_t Index = 0; Index < Pattern.size(); ++Index)
    {
        bool const Digit = Text[Index] >= '0' && Text[Index] <= '9';
        if(Pattern[Index] == 'd' ? !Digit : Text[Index] != Pattern[Index])
            return std::nullopt;
    }
    std::int64_t Fraction = 0;
    std::string_view const Rest = Text.substr(Pattern.size(), Text.size() - Pattern.size() - 1);
    if(!Rest.empty())
    {
        auto const Units = Rest.front() == '.' ? ParseFraction(Rest.substr(1)) : std::nullopt;
        if(!Units)
            return std::nullopt;
        Fraction = *Units;
    }
    auto const Field = [&](std::size_t Position, std::size_t Length) { return static_cast<int>(*Digits(Text.substr(Position, Length), Length)); };
    std::chrono::year_month_day const Date{std::chrono::year(Field(0, 4)), std::chrono::month(static_cast<unsigned>(Field(5, 2))),
                                           std::chrono::day(static_cast<unsigned>(Field(8, 2)))};
    int const Hour = Field(11, 2);
    int const Minute = Field(14, 2);
    int const Second = Field(17, 2);
    // Leap seconds have no place on the server's time scale.
    if(!Date.ok() || Date.year() < std::chrono::year(1970) || Hour > 23 || Minute > 59 || Second > 59)
        return std::nullopt;
    std::int64_t const Days = std::chrono::sys_days(Date).time_since_epoch().count();
    std::int64_t const Seconds = ((Days * 24 + Hour) * 60 + Minute) * 60 + Second;
    return UnixEpochAbsoluteTime + Seconds * TimeUnitsPerSecond + Fraction;
}

std::optional<std::int64_t> RequestTime::Parse(std::string_view Text)
{
    if(auto const Milliseconds = ParseMilliseconds(Text))
        return Milliseconds;
    return ParseUtc(Text);
}

std::optional<std::int64_t> RequestTime::FromQuery(QueryVector const& Query)
{
    auto const* Pair = FindOption(Query, QueryKey);
    if(!Pair)
        return std::nullopt;
    auto const Value = Parse(Pair->Value);
    if(!Value)
        ThrowCheckFailure(FailureCode::NowInvalid, TRACE_CONTEXT(), "RequestTime::Parse(Value)",
                          "Invalid \"now\": expected milliseconds since 1970 or a UTC time such as 2026-12-06T10:00:00Z");
    return Value;
}

std::int64_t RequestTime::Read(QueryVector const& Query, Clock const& Now)
{
    if(auto const Value = FromQuery(Query))
        return *Value;
    return Now();
}
} // namespace Application
