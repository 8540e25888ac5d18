// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <optional>

namespace Mp4
{
// Media times (100 ns units) in a track's timescale.
class FragmentTiming
{
public:
    static constexpr std::int64_t UnitsPerSecond = 10'000'000;

    // Time × Timescale / 10^7 rounded to the nearest integer, halves up,
    // without overflow, for negative times too.
    static std::int64_t Scale(std::int64_t Time, std::uint32_t Timescale) noexcept;
};

// The timescale of a video track and the decode time and composition offset
// of each sample of a run.
//
// Players place a segment by the decode time of its first fragment, some
// never show a picture before its decode time (GStreamer repeats and skips
// pictures then) and some move a whole track by the largest negative
// composition offset they meet (ffmpeg). So a run decodes its first picture
// at the time it presents, and no picture decodes after it presents.
//
// With B-pictures the encoder decodes the first picture its reorder delay
// (in frames) before it presents. The run makes that lag up in its first
// samples, which decode a fraction of a frame apart; from then on the
// encoder's decode times hold. Every composition offset is then at least 0
// and every sample presents exactly at the time it carries. A fraction of a
// frame needs a timescale finer than the frame rate when a frame lasts fewer
// ticks than the delay plus one (integer frame rates): the frame-rate
// numerator is then multiplied up. The delay depends only on the encoder's
// settings, so every run of a track (header or segment) finds the same
// timescale.
//
// The sample durations stay one frame: players take them for how long a
// picture shows. Between runs decode times leave a gap of the delay.
class VideoFragmentTiming
{
public:
    // Encoders reorder at most 16 B-pictures.
    static constexpr std::uint32_t MaximalReorderDelay = 16;

    struct Result
    {
        std::uint64_t m_DecodeTime = 0;
        std::int64_t m_CompositionOffset = 0;
    };

    // The frame rate, and the times of the run's first sample (100 ns units;
    // without a decode timestamp a sample decodes when it presents), which
    // give the reorder delay.
    VideoFragmentTiming(std::uint32_t FrameRateNumerator, std::uint32_t FrameRateDenominator, std::int64_t FirstSampleTime,
                        std::optional<std::int64_t> FirstDecodeTimestamp);

    std::uint32_t GetTimescale() const noexcept { return m_Timescale; }
    // One frame in the timescale: the duration of every sample.
    std::uint32_t GetFrameDuration() const noexcept { return m_FrameDuration; }

    Result Next(std::int64_t SampleTime, std::optional<std::int64_t> DecodeTimestamp);

private:
    std::uint32_t m_Timescale = 0;
    std::uint32_t m_FrameDuration = 0;
    // How far apart the first samples of a run decode while they make up the lag.
    std::int64_t m_CatchUpStep = 1;
    std::optional<std::int64_t> m_PreviousDecodeTime;
};
} // namespace Mp4
