// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <vector>

#include "media/VideoPicture.h"

namespace Application
{
// Converts the drawn ARGB32 pictures to what the encoders take: BT.601 limited
// range 4:2:0, NV12 or I420 (the encoders signal exactly that in their streams).
class VideoFrameConverter
{
public:
    // Source is the top row of Width × Height pixels of B, G, R, A bytes;
    // SourceStride is the distance between rows, negative when the rows
    // are stored bottom-up (Source then points into the last row in memory).
    static void Convert(std::uint8_t const* Source, std::int32_t SourceStride, VideoPicture const& Target);
    // Repacks an NV12 picture as I420 of the same size.
    static void Convert(VideoPicture const& Source, VideoPicture const& Target);
    // Picture as I420, for encoders that take nothing else: itself, or an
    // NV12 picture repacked into Buffer.
    static VideoPicture AsI420(VideoPicture const& Picture, std::vector<std::uint8_t>& Buffer);
};
} // namespace Application
