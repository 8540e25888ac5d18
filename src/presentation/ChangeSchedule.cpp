// SPDX-License-Identifier: GPL-2.0-or-later
#include "presentation/ChangeSchedule.h"

#include <algorithm>
#include <bit>
#include <numeric>

#include "base/Check.h"
#include "base/StringFormat.h"

namespace Application
{
namespace
{
constexpr ChangeKind Periodic[]{ChangeKind::Discontinuity, ChangeKind::Codec, ChangeKind::Size, ChangeKind::Key};

bool Includes(std::uint32_t Kinds, ChangeKind Kind) noexcept
{
    return (Kinds & static_cast<std::uint32_t>(Kind)) != 0;
}

// The least common multiple, or nothing once it passes Bound (it would only
// count times past it, and may not fit).
std::optional<std::int64_t> BoundedLcm(std::int64_t Left, std::int64_t Right, std::int64_t Bound)
{
    std::int64_t const Factor = Left / std::gcd(Left, Right);
    if(Factor > Bound / Right)
        return std::nullopt;
    return Factor * Right;
}
} // namespace

bool ChangeState::SameHeader(ChangeState const& Other, std::uint32_t Kinds) const noexcept
{
    return (!Includes(Kinds, ChangeKind::Codec) || OtherCodec == Other.OtherCodec) && (!Includes(Kinds, ChangeKind::Size) || Smaller == Other.Smaller) &&
           (!Includes(Kinds, ChangeKind::ClearLead) || Clear == Other.Clear) && (!Includes(Kinds, ChangeKind::Key) || KeyEpoch == Other.KeyEpoch);
}

std::size_t ChangeSchedule::Slot(ChangeKind Kind) noexcept
{
    return static_cast<std::size_t>(std::countr_zero(static_cast<std::uint32_t>(Kind)));
}

void ChangeSchedule::Set(ChangeKind Kind, std::int64_t Period)
{
    CHECK_LINE(Period > 0);
    m_Periods[Slot(Kind)] = Period;
}

std::optional<std::int64_t> ChangeSchedule::PeriodOf(ChangeKind Kind) const noexcept
{
    return m_Periods[Slot(Kind)];
}

bool ChangeSchedule::HasAny(std::uint32_t Kinds) const noexcept
{
    for(std::size_t Index = 0; Index < KindCount; ++Index)
        if(m_Periods[Index] && (Kinds & (1u << Index)) != 0)
            return true;
    return false;
}

void ChangeSchedule::Snap(std::int64_t Grid)
{
    CHECK_LINE(Grid > 0);
    m_Grid = Grid;
    for(auto& Period : m_Periods)
        if(Period)
            Period = std::max<std::int64_t>((*Period + Grid / 2) / Grid, 1) * Grid;
}

std::int64_t ChangeSchedule::ShortestPeriod() const noexcept
{
    std::int64_t Shortest = 0;
    for(auto const& Period : m_Periods)
        if(Period && (Shortest == 0 || *Period < Shortest))
            Shortest = *Period;
    return Shortest;
}

ChangeState ChangeSchedule::At(std::int64_t Time) const
{
    CHECK_LINE(Time >= 0);
    ChangeState State;
    if(auto const Period = PeriodOf(ChangeKind::Discontinuity))
        State.Origin = Time / *Period * *Period;
    if(auto const Period = PeriodOf(ChangeKind::Codec))
        State.OtherCodec = Time / *Period % 2 == 1;
    if(auto const Period = PeriodOf(ChangeKind::Size))
        State.Smaller = Time / *Period % 2 == 1;
    if(auto const Lead = PeriodOf(ChangeKind::ClearLead))
        State.Clear = Time < *Lead;
    if(auto const Period = PeriodOf(ChangeKind::Key))
        State.KeyEpoch = static_cast<std::uint32_t>(Time / *Period);
    State.Number = static_cast<std::uint32_t>(CountUpTo(Time, ~0u));
    return State;
}

std::uint32_t ChangeSchedule::KindsAt(std::int64_t Time) const
{
    std::uint32_t Kinds = 0;
    if(Time <= 0)
        return Kinds;
    for(auto const Kind : Periodic)
        if(auto const Period = PeriodOf(Kind); Period && Time % *Period == 0)
            Kinds |= static_cast<std::uint32_t>(Kind);
    if(auto const Lead = PeriodOf(ChangeKind::ClearLead); Lead && Time == *Lead)
        Kinds |= static_cast<std::uint32_t>(ChangeKind::ClearLead);
    return Kinds;
}

std::int64_t ChangeSchedule::CountUpTo(std::int64_t Time, std::uint32_t Kinds) const
{
    if(Time <= 0)
        return 0;
    std::vector<std::int64_t> Periods;
    for(auto const Kind : Periodic)
        if(auto const Period = PeriodOf(Kind); Period && Includes(Kinds, Kind))
            Periods.push_back(*Period);
    // The multiples of any of the periods, by inclusion and exclusion.
    std::int64_t Count = 0;
    for(std::uint32_t Subset = 1; Subset < (1u << Periods.size()); ++Subset)
    {
        std::optional<std::int64_t> Multiple = 1;
        for(std::size_t Index = 0; Index < Periods.size() && Multiple; ++Index)
            if(Subset & (1u << Index))
                Multiple = BoundedLcm(*Multiple, Periods[Index], Time);
        if(Multiple)
            Count += (std::popcount(Subset) % 2 == 1 ? 1 : -1) * (Time / *Multiple);
    }
    if(auto const Lead = PeriodOf(ChangeKind::ClearLead); Lead && Includes(Kinds, ChangeKind::ClearLead) && *Lead <= Time)
        if(std::none_of(Periods.begin(), Periods.end(), [Lead](std::int64_t Period) { return *Lead % Period == 0; }))
            ++Count;
    return Count;
}

std::int64_t ChangeSchedule::LastUpTo(std::int64_t Time, std::uint32_t Kinds) const
{
    std::int64_t Last = 0;
    if(Time <= 0)
        return Last;
    for(auto const Kind : Periodic)
        if(auto const Period = PeriodOf(Kind); Period && Includes(Kinds, Kind))
            Last = std::max(Last, Time / *Period * *Period);
    if(auto const Lead = PeriodOf(ChangeKind::ClearLead); Lead && Includes(Kinds, ChangeKind::ClearLead) && *Lead <= Time)
        Last = std::max(Last, *Lead);
    return Last;
}

std::vector<std::int64_t> ChangeSchedule::Between(std::int64_t From, std::int64_t To, std::uint32_t Kinds) const
{
    std::vector<std::int64_t> Times;
    for(auto const Kind : Periodic)
        if(auto const Period = PeriodOf(Kind); Period && Includes(Kinds, Kind))
            for(std::int64_t Time = (std::max<std::int64_t>(From, 0) / *Period + 1) * *Period; Time < To; Time += *Period)
                Times.push_back(Time);
    if(auto const Lead = PeriodOf(ChangeKind::ClearLead); Lead && Includes(Kinds, ChangeKind::ClearLead) && *Lead > From && *Lead < To)
        Times.push_back(*Lead);
    std::sort(Times.begin(), Times.end());
    Times.erase(std::unique(Times.begin(), Times.end()), Times.end());
    return Times;
}

std::string ChangeSchedule::Describe(std::int64_t Time, VideoVariant const& Variant) const
{
    auto const State = At(Time);
    std::vector<std::string> Items;
    if(Has(ChangeKind::Discontinuity))
        Items.push_back(StringFormat("DISC %lld", static_cast<long long>(CountUpTo(Time, static_cast<std::uint32_t>(ChangeKind::Discontinuity)))));
    if(Has(ChangeKind::Codec))
        Items.push_back(Variant.Subtype == VideoSubtype::Hevc  ? "HEVC"
                        : Variant.Subtype == VideoSubtype::Av1 ? "AV1"
                        : Variant.Subtype == VideoSubtype::Vp9 ? "VP9"
                                                               : "H.264");
    if(Has(ChangeKind::Size))
        Items.push_back(StringFormat("%ux%u", Variant.FrameSizeW, Variant.FrameSizeH));
    if(State.Clear)
        Items.push_back("CLEAR");
    else if(Has(ChangeKind::Key))
        Items.push_back(StringFormat("KEY %u", State.KeyEpoch));
    else if(Has(ChangeKind::ClearLead))
        Items.push_back("ENCRYPTED");
    return Join(Items, " ");
}

std::string ChangeSchedule::Text() const
{
    constexpr char const* Names[KindCount]{"disc", "codec", "size", "clear", "key"};
    std::string Text;
    for(std::size_t Index = 0; Index < KindCount; ++Index)
        if(m_Periods[Index])
            Text += StringFormat("%s%s%lld", Text.empty() ? "" : ",", Names[Index], static_cast<long long>(*m_Periods[Index]));
    return Text;
}
} // namespace Application
