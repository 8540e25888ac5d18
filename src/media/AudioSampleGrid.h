// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>

namespace Application
{
// The sample grid of a sample rate: sample n sits at floor(n × 10^7 / Rate).
// Indices are 64-bit: a 32-bit index at 48000 Hz runs out after 24.8 hours,
// which a live presentation reaches.
class AudioSampleGrid
{
public:
    explicit AudioSampleGrid(std::uint32_t SampleRate);

    std::uint32_t SampleRate() const noexcept { return m_SampleRate; }
    std::int64_t SampleTime(std::int64_t Index) const noexcept;
    // The sample at or before Time, or with RoundUp the first one at or after it.
    std::int64_t SampleIndex(std::int64_t Time, bool RoundUp) const noexcept;

private:
    std::uint32_t m_SampleRate;
};
} // namespace Application
