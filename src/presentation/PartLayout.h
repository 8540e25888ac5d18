// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <compare>
#include <cstdint>
#include <optional>

#include "presentation/Configuration.h"

namespace Application
{
// One part of a segment: a run of whole frames (pictures, or audio frames)
// that the segment's fragments carry one per frame.
struct PartSpan
{
    std::uint32_t FirstFrame = 0; // index of its first fragment within the segment
    std::uint32_t FrameCount = 0;
    std::int64_t Start = 0;    // media time of its first frame
    std::int64_t Duration = 0; // up to the next frame after its last one
    // The media time from which the part is complete: its end, but never
    // after the end of its segment, so that a segment a playlist lists as
    // complete has every part complete too.
    std::int64_t Available = 0;
    bool Independent = false; // starts with a key frame
};

// A part by its segment number and its index within the segment.
struct PartPosition
{
    std::uint32_t Segment = 0;
    std::uint32_t Part = 0;

    // In the order of the timeline.
    friend auto operator<=>(PartPosition const&, PartPosition const&) = default;
};

// How the segments of one track are cut into parts for low-latency HLS.
// Frames lie on the track's grid of the whole timeline (frame f at
// floor(f × FrameNumerator / FrameDenominator)); segment i holds the frames
// that start in [i × D, (i + 1) × D). Every part but a segment's last holds
// the same number of frames: as many as fit the asked part duration, at
// least one, so a part is never longer than the part target this layout
// reports, whatever the frame rate.
class PartLayout
{
public:
    // Pictures at the variant's frame rate. A player can start or switch
    // only at a part that begins with a key frame, so the pictures of a
    // low-latency asset are encoded with one at the start of every part
    // (KeyFrameIntervalOf), and every picture of a trick-play row is one.
    static PartLayout ForVideo(VideoVariant const& Variant, std::int64_t PartDuration);
    // The key frame interval the encoder is given for the pictures of an
    // asset's row, when it is not the encoder's own (a live "ll" asset).
    static std::optional<std::uint32_t> KeyFrameIntervalOf(Configuration const& Asset, VideoVariant const& Variant);
    // Frames of an audio row (AudioFrameLength: AAC 1024 samples, FLAC
    // blocks of 4096, Opus 960, AC-3 and E-AC-3 1536); each one decodes alone.
    static PartLayout ForAudio(AudioVariant const& Variant, std::int64_t PartDuration);

    std::int64_t SegmentDuration() const noexcept { return m_SegmentDuration; }
    std::uint32_t FramesPerPart() const noexcept { return m_FramesPerPart; }
    // The longest any part of this track lasts.
    std::int64_t PartTarget() const;

    std::uint32_t FrameCount(std::uint32_t Segment) const;
    std::uint32_t PartCount(std::uint32_t Segment) const;
    // Part must be below PartCount(Segment).
    PartSpan Part(std::uint32_t Segment, std::uint32_t Part) const;
    // How many parts of Segment are complete Elapsed after the timeline's start.
    std::uint32_t CompleteParts(std::uint32_t Segment, std::int64_t Elapsed) const;
    // The last part complete at Elapsed; none before the first one is.
    std::optional<PartPosition> LastComplete(std::int64_t Elapsed) const;
    // The part after Position: the next of its segment, or the next segment's first.
    PartPosition Next(PartPosition Position) const;
    // Position itself, or the next segment's first part when its index lies
    // beyond its segment's last part.
    PartPosition Normalise(PartPosition Position) const;
    // How many steps of Next lead from From to To; Limit + 1 when more than
    // Limit do, or when To lies before From.
    std::uint32_t Distance(PartPosition From, PartPosition To, std::uint32_t Limit) const;

private:
    PartLayout(std::int64_t SegmentDuration, std::int64_t FrameNumerator, std::int64_t FrameDenominator, std::int64_t PartDuration,
               std::uint32_t KeyFrameInterval);
    std::int64_t FrameTime(std::int64_t Frame) const;
    std::int64_t FirstFrameOf(std::int64_t Segment) const;

    std::int64_t m_SegmentDuration;
    std::int64_t m_FrameNumerator;
    std::int64_t m_FrameDenominator;
    std::uint32_t m_FramesPerPart = 1;
    std::uint32_t m_KeyFrameInterval;
};
} // namespace Application
