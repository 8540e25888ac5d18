// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <vector>

#include "media/VideoPicture.h"

namespace Application
{
// Converts the drawn pictures to what the encoders take (and signal exactly
// in their streams): ARGB32 to BT.601 limited range 4:2:0, NV12 or I420;
// A2R10G10B10 to BT.2020 (non-constant luminance) limited range 4:2:0 in
// 10 bits, P010.
class VideoFrameConverter
{
public:
    // Source is the top row of Width × Height pixels of B, G, R, A bytes
    // (a P010 target: 32-bit words of 10-bit R, G, B from bit 20 down);
    // SourceStride is the distance between rows, negative when the rows
    // are stored bottom-up (Source then points into the last row in memory).
    static void Convert(std::uint8_t const* Source, std::int32_t SourceStride, VideoPicture const& Target);
    // Repacks an NV12 picture as I420, or a P010 picture as I010, of the same size.
    static void Convert(VideoPicture const& Source, VideoPicture const& Target);
    // Picture as three planes, for encoders that take nothing else: itself,
    // or an NV12 or P010 picture repacked into Buffer as I420 or I010.
    static VideoPicture AsPlanar(VideoPicture const& Picture, std::vector<std::uint8_t>& Buffer);

private:
    static void ConvertWide(std::uint8_t const* Source, std::int32_t SourceStride, VideoPicture const& Target);
};
} // namespace Application
