// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace Application
{
// What a fault rule does to the requests it selects (FaultParser reads them).
enum class FaultKind
{
    Fail,     // answer with the rule's status and a short body
    Delay,    // hold the first byte back for the rule's milliseconds
    Throttle, // send at most the rule's bytes per second
    Hang,     // send the head and part of the body, then nothing
    Truncate, // end the body early
    Corrupt,  // flip bytes inside the media data, boxes stay intact
    Gap,      // the segment is missing: marked in HLS playlists, 404 on request
    Stale,    // repeat the previous playlist for the rule's milliseconds
};

// The requests a rule is about. Any is every media track (video, audio
// and text); Playlist is the HLS media playlists of the asset; Text is the
// subtitle segments (every language, every form: WebVTT files and MP4).
enum class FaultTrack
{
    Video,
    Audio,
    Any,
    Playlist,
    Text,
};

// Which numbers a rule selects: segment numbers for media, the ordinal of
// the asset's playlist request (from 1) for playlists.
struct FaultSelection
{
    enum class Form
    {
        Index, // First
        Range, // First to Last, both included
        All,   // "*"
        Every, // "%K": the numbers divisible by First
    };
    Form Kind = Form::All;
    std::uint32_t First = 0;
    std::uint32_t Last = 0;

    bool Contains(std::uint32_t Number) const noexcept;
};

// One rule of the form KIND=ARG@TRACK:SELECTION[:PATHWAY], as it was
// written and as it was understood.
struct FaultRule
{
    FaultKind Kind = FaultKind::Fail;
    // Fail: the status; Delay, Stale: milliseconds; Throttle: bytes per
    // second; Truncate: bytes, or a percentage when Percent is set.
    std::uint32_t Value = 0;
    bool Percent = false;
    // Fail: only the first Count requests of each segment fail; 0: all.
    std::uint32_t Count = 0;
    FaultTrack Track = FaultTrack::Any;
    FaultSelection Selection;
    // Content steering: only the requests of this pathway; empty: of any.
    std::string Pathway;
    // "kind=rule", as the request wrote it: the name the fault is traced
    // and reported by.
    std::string Text;

    // Pathway: the request's, empty when it names none.
    bool Matches(FaultTrack RequestTrack, std::uint32_t Number, std::string_view RequestPathway = {}) const noexcept;
    bool OnPathway(std::string_view RequestPathway) const noexcept { return Pathway.empty() || Pathway == RequestPathway; }
};
} // namespace Application
