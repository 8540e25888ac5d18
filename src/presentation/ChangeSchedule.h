// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "media/VideoVariant.h"

namespace Application
{
// The kinds of change mid-stream, as bits.
enum class ChangeKind : std::uint32_t
{
    Discontinuity = 1, // "disc": the decode timeline restarts at 0
    Codec = 2,         // "codecswitch": the video's codec alternates
    Size = 4,          // "sizeswitch": the pictures alternate with smaller ones
    ClearLead = 8,     // "clearlead": encryption begins
    Key = 16,          // "rotate": a new key and key ID
};

constexpr std::uint32_t operator|(ChangeKind Left, ChangeKind Right) noexcept
{
    return static_cast<std::uint32_t>(Left) | static_cast<std::uint32_t>(Right);
}
constexpr std::uint32_t operator|(std::uint32_t Left, ChangeKind Right) noexcept
{
    return Left | static_cast<std::uint32_t>(Right);
}

constexpr std::uint32_t AllChanges = 31;
// The changes that break a track's timestamps or its decoder's
// configuration: HLS marks them with EXT-X-DISCONTINUITY.
constexpr std::uint32_t VideoDiscontinuities = ChangeKind::Discontinuity | ChangeKind::Codec | ChangeKind::Size;
constexpr std::uint32_t AudioDiscontinuities = static_cast<std::uint32_t>(ChangeKind::Discontinuity);
constexpr std::uint32_t TextDiscontinuities = AudioDiscontinuities;
// The changes that make a track's initialisation segment another.
constexpr std::uint32_t VideoHeaderChanges = ChangeKind::Codec | ChangeKind::Size | ChangeKind::ClearLead | ChangeKind::Key;
constexpr std::uint32_t AudioHeaderChanges = ChangeKind::ClearLead | ChangeKind::Key;

// What holds for the media from one change to the next.
struct ChangeState
{
    std::int64_t Origin = 0;    // media time at which the decode timeline last restarted
    bool OtherCodec = false;    // the other video codec ("codecswitch", odd periods)
    bool Smaller = false;       // the smaller pictures ("sizeswitch", odd periods)
    bool Clear = false;         // within the clear lead
    std::uint32_t KeyEpoch = 0; // which key ("rotate"), from 0
    std::uint32_t Number = 0;   // how many changes came before, from 0

    // Whether two states make the same initialisation segment of a track
    // whose header changes with Kinds (VideoHeaderChanges, AudioHeaderChanges).
    bool SameHeader(ChangeState const& Other, std::uint32_t Kinds) const noexcept;
};

// When an asset changes mid-stream. Each periodic kind changes at every
// multiple of its period of media time (the first at one period), the
// clear lead ends once. Periods are whole seconds given; Snap places them
// on the grid where every track's segments begin (rounded to the nearest
// multiple, a tie up, one grid at least), so a change never falls inside a
// segment of any track.
class ChangeSchedule
{
public:
    static constexpr std::int64_t MaximalSeconds = 86'400;

    void Set(ChangeKind Kind, std::int64_t Period);
    std::optional<std::int64_t> PeriodOf(ChangeKind Kind) const noexcept;
    bool Has(ChangeKind Kind) const noexcept { return PeriodOf(Kind).has_value(); }
    bool HasAny(std::uint32_t Kinds) const noexcept;
    bool Empty() const noexcept { return !HasAny(~0u); }

    void Snap(std::int64_t Grid);
    std::int64_t Grid() const noexcept { return m_Grid; }
    // The shortest time between two changes.
    std::int64_t ShortestPeriod() const noexcept;

    // The state of the media at Time (from 0).
    ChangeState At(std::int64_t Time) const;
    // The kinds of change that happen at Time; 0 where none (and at 0).
    std::uint32_t KindsAt(std::int64_t Time) const;
    // How many times in (0, Time] bring a change of any of Kinds.
    std::int64_t CountUpTo(std::int64_t Time, std::uint32_t Kinds) const;
    // The latest time in (0, Time] at which any of Kinds changes; 0 where none.
    std::int64_t LastUpTo(std::int64_t Time, std::uint32_t Kinds) const;
    // The times in (From, To) at which any of Kinds changes, in order.
    std::vector<std::int64_t> Between(std::int64_t From, std::int64_t To, std::uint32_t Kinds) const;
    // The line a segment's pictures show from Time on: what the asset's
    // kinds of change make of Variant there ("DISC 2 HEVC 640x360 KEY 3",
    // "CLEAR"), at most 48 characters.
    std::string Describe(std::int64_t Time, VideoVariant const& Variant) const;
    // The schedule in a canonical form, for keys.
    std::string Text() const;

private:
    static constexpr std::size_t KindCount = 5;
    static std::size_t Slot(ChangeKind Kind) noexcept;

    std::optional<std::int64_t> m_Periods[KindCount];
    std::int64_t m_Grid = 0;
};
} // namespace Application
