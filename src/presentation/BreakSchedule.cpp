// SPDX-License-Identifier: GPL-2.0-or-later
#include "presentation/BreakSchedule.h"

#include <algorithm>
#include <limits>

#include "base/Check.h"
#include "base/FailureCodes.h"
#include "base/MediaTime.h"
#include "base/MulDiv.h"
#include "base/StringFormat.h"
#include "presentation/QueryNumbers.h"

namespace Application
{
namespace
{
constexpr char const* Form = "a break of D seconds every P seconds (\"P:D\", 0 < D < P) or breaks at given times (\"@S:D,@S:D\"), whole seconds up to 3600";

[[noreturn]] void Refuse(std::string const& Message)
{
    ThrowCheckFailure(FailureCode::BreaksInvalid, TRACE_CONTEXT(), "BreakSchedule", Message);
}

[[noreturn]] void RefuseText(std::string_view Text)
{
    Refuse(StringFormat("Invalid \"breaks\" \"%.*s\": %s", static_cast<int>(std::min<std::size_t>(Text.size(), 40)), Text.data(), Form));
}

// "S:D" in whole seconds; S up to Maximal, D from 1 to 3600.
std::pair<std::int64_t, std::int64_t> ParsePair(std::string_view Pair, std::uint64_t Maximal, std::string_view Whole)
{
    auto const Colon = Pair.find(':');
    if(Colon == std::string_view::npos)
        RefuseText(Whole);
    auto const First = ParseDecimal(Pair.substr(0, Colon), Maximal);
    auto const Second = ParseDecimal(Pair.substr(Colon + 1), BreakSchedule::MaximalSeconds);
    if(!First || !Second || *Second == 0)
        RefuseText(Whole);
    return {static_cast<std::int64_t>(*First) * TimeUnitsPerSecond, static_cast<std::int64_t>(*Second) * TimeUnitsPerSecond};
}

std::string Seconds(std::int64_t Time)
{
    return StringFormat("%lld s", static_cast<long long>(Time / TimeUnitsPerSecond));
}
} // namespace

BreakSchedule BreakSchedule::Parse(std::string_view Text)
{
    BreakSchedule Schedule;
    if(Text.empty())
        RefuseText(Text);
    if(Text.front() != '@')
    {
        auto const [Period, Duration] = ParsePair(Text, MaximalSeconds, Text);
        if(Period == 0 || Duration >= Period)
            RefuseText(Text);
        Schedule.m_Period = Period;
        Schedule.m_Listed.push_back({0, Duration});
        return Schedule;
    }
    for(std::string_view Rest = Text;;)
    {
        auto const Comma = Rest.find(',');
        auto const Item = Rest.substr(0, Comma);
        if(Item.empty() || Item.front() != '@')
            RefuseText(Text);
        if(Schedule.m_Listed.size() == MaximalListedBreaks)
            Refuse(StringFormat("Invalid \"breaks\": at most %zu breaks", MaximalListedBreaks));
        auto const [Start, Duration] = ParsePair(Item.substr(1), 86'400, Text);
        Schedule.m_Listed.push_back({Start, Duration});
        if(Comma == std::string_view::npos)
            break;
        Rest.remove_prefix(Comma + 1);
    }
    std::sort(Schedule.m_Listed.begin(), Schedule.m_Listed.end(), [](Nominal const& A, Nominal const& B) { return A.Start < B.Start; });
    return Schedule;
}

std::int64_t BreakSchedule::Round(std::int64_t Time) const noexcept
{
    return (Time + m_Grid / 2) / m_Grid * m_Grid;
}

void BreakSchedule::Snap(std::int64_t Grid, std::optional<std::int64_t> End)
{
    CHECK_ARGUMENT(Grid > 0);
    m_Grid = Grid;
    m_End = End;
    m_Breaks.clear();
    if(m_Period)
    {
        // Rounding moves a start and a duration by at most half a segment
        // each: a period that holds the break and one segment more, and two
        // segments at least, keeps every break apart from the next.
        if(*m_Period < 2 * Grid || *m_Period - m_Listed.front().Duration < Grid)
            Refuse(StringFormat("Invalid \"breaks\": a period of %s must hold the break and a segment of content more, and two segments (%s) at least",
                                Seconds(*m_Period).c_str(), Seconds(2 * Grid).c_str()));
        return;
    }
    for(auto const& Listed : m_Listed)
    {
        AdBreak const Break{static_cast<std::uint32_t>(m_Breaks.size() + 1), Round(Listed.Start), SnappedDuration(Listed.Duration)};
        if(!m_Breaks.empty() && m_Breaks.back().End() > Break.Start)
            Refuse(StringFormat("Invalid \"breaks\": the breaks at %s and %s overlap once they start and end on segment boundaries",
                                Seconds(m_Breaks.back().Start).c_str(), Seconds(Break.Start).c_str()));
        if(End && Break.End() > *End)
            Refuse(StringFormat("Invalid \"breaks\": the break at %s ends past the end of the presentation", Seconds(Break.Start).c_str()));
        m_Breaks.push_back(Break);
    }
}

std::int64_t BreakSchedule::SnappedDuration(std::int64_t Duration) const noexcept
{
    return std::max(Round(Duration), m_Grid);
}

AdBreak BreakSchedule::Periodic(std::uint32_t Number) const
{
    std::int64_t const Nominal = static_cast<std::int64_t>(Number) * *m_Period;
    return {Number, Round(Nominal), SnappedDuration(m_Listed.front().Duration)};
}

std::vector<AdBreak> BreakSchedule::Overlapping(std::int64_t From, std::int64_t To) const
{
    CHECK_LINE(m_Grid > 0);
    std::vector<AdBreak> Found;
    if(m_End)
        To = std::min(To, *m_End);
    if(!m_Period)
    {
        for(auto const& Break : m_Breaks)
            if(Break.Start < To && Break.End() > From)
                Found.push_back(Break);
        return Found;
    }
    // Break n lies within half a segment of [nP, nP + D).
    std::int64_t const Slack = m_Listed.front().Duration + m_Grid;
    std::int64_t const First = std::max<std::int64_t>(FloorDivide(From - Slack, *m_Period), 1);
    std::int64_t const Last = CeilDivide(To + m_Grid, *m_Period);
    for(std::int64_t Number = First; Number <= Last && Number <= std::numeric_limits<std::uint32_t>::max(); ++Number)
        if(auto const Break = Periodic(static_cast<std::uint32_t>(Number)); Break.Start < To && Break.End() > From && (!m_End || Break.End() <= *m_End))
            Found.push_back(Break);
    return Found;
}

std::optional<AdBreak> BreakSchedule::Numbered(std::uint32_t Number) const
{
    CHECK_LINE(m_Grid > 0);
    if(Number == 0)
        return std::nullopt;
    if(m_Period)
    {
        auto const Break = Periodic(Number);
        if(m_End && Break.End() > *m_End)
            return std::nullopt;
        return Break;
    }
    if(Number > m_Breaks.size())
        return std::nullopt;
    return m_Breaks[Number - 1];
}

std::string BreakSchedule::Text() const
{
    if(m_Period)
        return StringFormat("p%lld:%lld:%lld", static_cast<long long>(*m_Period), static_cast<long long>(m_Listed.front().Duration),
                            static_cast<long long>(m_Grid));
    std::string Result;
    for(auto const& Break : m_Breaks)
        Result += StringFormat("%s@%lld:%lld", Result.empty() ? "" : ",", static_cast<long long>(Break.Start), static_cast<long long>(Break.Duration));
    return Result;
}
} // namespace Application
