// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <array>
#include <cstdint>

#include "media/DynamicRange.h"

namespace Application
{
// Turns a drawn ARGB32 picture into an A2R10G10B10 one in place, for the
// PQ and HLG streams: the graphics keep their look at the graphics white
// of the transfer (203 cd/m² in PQ, 75 % of the HLG signal; ITU-R BT.2408),
// and the band below the box gets what only a 10-bit picture shows, drawn
// in 10 bits: colour bars at full BT.2020 signal level (white, yellow, cyan,
// green, magenta, red, blue, black) above a grey ramp from code value 0 at
// the left edge to 1023 at the right.
class HdrPicturePainter
{
public:
    // The band's share of the height at the bottom of the picture, the
    // composer's margin below the box.
    static constexpr double BandShare = 0.125;

    explicit HdrPicturePainter(DynamicRange Range);

    // Data: Height rows of Width pixels, Stride bytes apart.
    void Paint(std::uint8_t* Data, std::uint32_t Stride, std::uint32_t Width, std::uint32_t Height) const;

    // The 10-bit signal of an 8-bit graphics level.
    std::uint16_t WideLevel(std::uint8_t Level) const noexcept { return m_Levels[Level]; }

private:
    void Widen(std::uint8_t* Data, std::uint32_t Stride, std::uint32_t Width, std::uint32_t Height) const;

    std::array<std::uint16_t, 256> m_Levels{};
};
} // namespace Application
