// SPDX-License-Identifier: GPL-2.0-or-later
#include "mp4/Mp4HdrStaticMetadata.h"

#include "base/StringFormat.h"

namespace Mp4
{
namespace
{
constexpr double ChromaticityUnit = 0.00002;
constexpr double LuminanceUnit = 0.0001;
} // namespace

// BT.2020 green (0.170, 0.797), blue (0.131, 0.046), red (0.708, 0.292), D65 white (0.3127, 0.3290).
HdrStaticMetadata const HdrStaticMetadata::Signalled{{8500, 6550, 35400}, {39850, 2300, 14600}, 15635, 16450, 100'000'000, 1, 10'000, 650};

std::string HdrStaticMetadata::MasteringDisplayText() const
{
    return StringFormat("G(%u,%u)B(%u,%u)R(%u,%u)WP(%u,%u)L(%u,%u)", m_PrimariesX[0], m_PrimariesY[0], m_PrimariesX[1], m_PrimariesY[1],
                                     m_PrimariesX[2], m_PrimariesY[2], m_WhitePointX, m_WhitePointY, m_MaximalLuminance, m_MinimalLuminance);
}

std::string HdrStaticMetadata::MasteringDisplayDecimalText() const
{
    auto const C = [](std::uint16_t Value) { return Value * ChromaticityUnit; };
    return StringFormat("G(%.5f,%.5f)B(%.5f,%.5f)R(%.5f,%.5f)WP(%.5f,%.5f)L(%.4f,%.4f)", C(m_PrimariesX[0]), C(m_PrimariesY[0]),
                                     C(m_PrimariesX[1]), C(m_PrimariesY[1]), C(m_PrimariesX[2]), C(m_PrimariesY[2]), C(m_WhitePointX), C(m_WhitePointY),
                                     m_MaximalLuminance * LuminanceUnit, m_MinimalLuminance * LuminanceUnit);
}
} // namespace Mp4
