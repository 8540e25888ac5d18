// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <string_view>

namespace Application
{
// 5.1 audio ("ch=6"): the tone burst of each second sounds from one
// loudspeaker, going round the room clockwise from the front left (front
// left, centre, front right, surround right, surround left, then the LFE), so
// that a tester hears whether every channel comes out of the right speaker;
// the pictures name the one sounding. Samples are interleaved in libavcodec's
// order for 5.1: front left, front right, centre, LFE, surround left,
// surround right; encoders with another order reorder them.
class SurroundSpeakers
{
public:
    static constexpr std::uint32_t Channels = 6;
    static constexpr std::uint32_t CentreChannel = 2;
    static constexpr std::uint32_t LfeChannel = 3;
    // An LFE channel carries nothing above about 120 Hz: its burst is low.
    static constexpr float LfeFrequency = 80.0f;

    // The channel, in the interleaved order, of the burst of second Second
    // (seconds of media time from 0).
    static std::uint32_t Sounding(std::int64_t Second) noexcept;
    // The name of that speaker as the pictures show it.
    static std::string_view Name(std::int64_t Second) noexcept;
};
} // namespace Application
