// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <span>

namespace Application
{
// The test signal: in the first 100 ms of every second a tone burst with a
// smooth envelope (1400 Hz on every tenth second, 1000 Hz on every fifth,
// 700 Hz otherwise), silence for the rest of the second. It depends only on
// the absolute sample index, so any range of samples can be made at any time,
// in particular the samples before a segment that an encoder needs to warm up.
// The presentation starts at sample 0: earlier samples are silence.
//
// With the marker (the "framecode" test aid) a 10 ms, 6000 Hz tone at a
// quarter of full scale is added from the first sample of every whole second
// on, so that a capture can find each second to the sample and measure how
// far the audio is from the pictures. It rises at once, starting at phase 0:
// the first sample of the second is 0, the next ones already far from it.
// The burst's envelope stays below 0.74 for those 10 ms, so the sum never
// leaves [-1, 1].
class ToneBurstSignal
{
public:
    enum class SampleFormat
    {
        Float32,
        Pcm8,
        Pcm16,
        Pcm24,
        Pcm32,
    };

    static constexpr float MarkerFrequency = 6000.0f;
    static constexpr float MarkerAmplitude = 0.25f;
    // 10 ms.
    static constexpr std::uint32_t MarkerDivisor = 100;

    explicit ToneBurstSignal(std::uint32_t SampleRate, bool Marker = false);

    static std::uint32_t BytesPerSample(SampleFormat Format) noexcept;

    // The value in [-1, 1] of sample Index.
    float Value(std::int64_t Index) const noexcept;
    // Writes Count sample frames from First on, each value on every one of
    // Channels channels; Output holds at least Count × Channels samples.
    void Write(std::int64_t First, std::uint32_t Count, std::uint32_t Channels, SampleFormat Format, std::span<std::uint8_t> Output) const;

private:
    std::uint32_t m_SampleRate;
    // Samples of the marker at the start of each second; 0 without it.
    std::uint32_t m_MarkerSamples;
};
} // namespace Application
