// SPDX-License-Identifier: GPL-2.0-or-later
#include "media/VideoEncoderSettings.h"

#include <algorithm>
#include <cmath>

namespace Application
{
namespace
{
constexpr double MaximalQuantizer = 51;
constexpr double MaximalWideQuantizer = 63;
} // namespace

std::uint32_t VideoEncoderSettings::QuantizerFromQuality(std::uint32_t Quality)
{
    double const Clamped = std::min<std::uint32_t>(Quality, 100);
    double const Quantizer = (std::pow(10.0, 600.0 / (Clamped + 565.0)) - 8.0) * 10.0 + 16.5;
    return static_cast<std::uint32_t>(std::clamp(Quantizer, 0.0, MaximalQuantizer));
}

std::uint32_t VideoEncoderSettings::WideQuantizerFromQuality(std::uint32_t Quality)
{
    return static_cast<std::uint32_t>(std::lround(QuantizerFromQuality(Quality) * MaximalWideQuantizer / MaximalQuantizer));
}
} // namespace Application
