// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "presentation/AdBreak.h"

namespace Application
{
// When an asset's ad breaks are ("breaks"): "P:D", a break of D seconds
// every P seconds of media time (the first at P), or "@S:D,@S:D,...", breaks
// of D seconds starting S seconds into the media, in any order. Whole
// seconds throughout. Breaks start and end on segment boundaries: Snap
// rounds the start and the duration to the nearest multiple of the grid (a
// tie rounds up), a duration to one segment at least, so that every break
// of the periodic form lasts as long.
class BreakSchedule
{
public:
    // Longest period and break; most breaks a list names.
    static constexpr std::int64_t MaximalSeconds = 3600;
    static constexpr std::size_t MaximalListedBreaks = 100;

    // Raises FailureCode::BreaksInvalid for a malformed text.
    static BreakSchedule Parse(std::string_view Text);

    // Places the breaks on the grid of Grid-long segments. End, where the
    // presentation has one (on-demand), bounds a list: every break must end
    // by it. Raises FailureCode::BreaksInvalid when breaks would overlap,
    // or a period leaves no segment between breaks.
    void Snap(std::int64_t Grid, std::optional<std::int64_t> End);

    // The breaks that overlap [From, To) of media time, in order.
    std::vector<AdBreak> Overlapping(std::int64_t From, std::int64_t To) const;
    // Break Number (from 1), if there is one.
    std::optional<AdBreak> Numbered(std::uint32_t Number) const;

    std::int64_t Grid() const noexcept { return m_Grid; }
    // The breaks in a canonical form, for keys: "p<P>:<D>" or "@S:D,...",
    // in 100-ns units after snapping.
    std::string Text() const;

private:
    struct Nominal
    {
        std::int64_t Start;
        std::int64_t Duration;
    };

    AdBreak Periodic(std::uint32_t Number) const;
    std::int64_t Round(std::int64_t Time) const noexcept;
    std::int64_t SnappedDuration(std::int64_t Duration) const noexcept;

    std::optional<std::int64_t> m_Period; // set: the periodic form, m_Listed holds its one duration
    std::vector<Nominal> m_Listed;
    std::vector<AdBreak> m_Breaks; // the list form, snapped
    std::optional<std::int64_t> m_End;
    std::int64_t m_Grid = 0;
};
} // namespace Application
