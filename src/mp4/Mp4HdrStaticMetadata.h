// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <string>

namespace Mp4
{
// The static metadata of the PQ streams: the mastering display's colour
// volume (SMPTE ST 2086) and the content light levels (CTA-861.3). The
// encoders put them in the bitstream (SEI messages, metadata OBUs) and the
// sample entry repeats them (mdcv, clli), so the two always agree.
// The picture's bars and ramp reach the top of the PQ range, so the display
// it is made for is the whole BT.2020 container up to 10,000 cd/m²; the bars
// and the ramp each cover a sixteenth of the picture and the rest stays at
// graphics-white levels, which keeps the frame average near 650 cd/m².
struct HdrStaticMetadata
{
    // Chromaticities in 0.00002 units, in the order green, blue, red.
    std::uint16_t m_PrimariesX[3];
    std::uint16_t m_PrimariesY[3];
    std::uint16_t m_WhitePointX;
    std::uint16_t m_WhitePointY;
    // Luminances in 0.0001 cd/m².
    std::uint32_t m_MaximalLuminance;
    std::uint32_t m_MinimalLuminance;
    // cd/m²
    std::uint16_t m_MaximalContentLightLevel;
    std::uint16_t m_MaximalFrameAverageLightLevel;

    static HdrStaticMetadata const Signalled;

    // "G(x,y)B(x,y)R(x,y)WP(x,y)L(max,min)" in the units above.
    std::string MasteringDisplayText() const;
    // The same with chromaticities and luminances as decimals (cd/m²).
    std::string MasteringDisplayDecimalText() const;
};
} // namespace Mp4
