// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>

namespace Application
{
// The video's range: 8-bit BT.601 pictures, or 10-bit BT.2020 pictures with
// the perceptual quantizer (PQ, SMPTE ST 2084) or hybrid log-gamma (HLG,
// ARIB STD-B67) transfer.
enum class DynamicRange : std::uint8_t
{
    Sdr,
    Pq,
    Hlg,
};

inline bool IsHighDynamicRange(DynamicRange Value) noexcept
{
    return Value != DynamicRange::Sdr;
}
} // namespace Application
