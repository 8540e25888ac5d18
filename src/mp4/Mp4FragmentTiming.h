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

// The decode time and composition offset of each video sample of a run.
//
// Encoders with reordered frames give the first frame a decode time some
// frames before its presentation time (x264: two frames), so decode times can
// be negative, and B-frames present before later-decoded frames. Every decode
// time is therefore moved later by the first sample's (P − T): tfdt is never
// negative, the first fragment has offset 0, and the presentation time
// tfdt + offset of every sample is exactly the time it carried. A B-frame's
// offset is then negative, which trun version 1 expresses.
class VideoFragmentTiming
{
public:
    struct Result
    {
        std::uint64_t m_DecodeTime = 0;
        std::int64_t m_CompositionOffset = 0;
    };

    explicit VideoFragmentTiming(std::uint32_t Timescale) noexcept : m_Timescale(Timescale) { }

    // SampleTime and DecodeTimestamp in 100 ns units; without a decode
    // timestamp the sample decodes when it presents.
    Result Next(std::int64_t SampleTime, std::optional<std::int64_t> DecodeTimestamp);

private:
    std::uint32_t m_Timescale;
    std::optional<std::int64_t> m_FirstOffset; // (P − T) of the run's first sample
};
} // namespace Mp4
