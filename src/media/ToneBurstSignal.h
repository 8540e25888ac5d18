#pragma once

#include <cstdint>
#include <span>

// The test signal: in the first 100 ms of every second a tone burst with a
// smooth envelope (1400 Hz on every tenth second, 1000 Hz on every fifth,
// 700 Hz otherwise), silence for the rest of the second. It depends only on
// the absolute sample index, so any range of samples can be made at any time,
// in particular the samples before a segment that an encoder needs to warm up.
// The presentation starts at sample 0: earlier samples are silence.
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

    explicit ToneBurstSignal(std::uint32_t SampleRate);

    static std::uint32_t BytesPerSample(SampleFormat Format) noexcept;

    // The value in [-1, 1] of sample Index.
    float Value(std::int64_t Index) const noexcept;
    // Writes Count sample frames from First on, each value on every one of
    // Channels channels; Output holds at least Count × Channels samples.
    void Write(std::int64_t First, std::uint32_t Count, std::uint32_t Channels, SampleFormat Format, std::span<std::uint8_t> Output) const;

private:
    std::uint32_t m_SampleRate;
};
