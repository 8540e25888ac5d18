// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <vector>

namespace Application
{
// Baseline JPEG pictures with libjpeg-turbo: JFIF, 4:2:0, the library's
// standard tables scaled to a quality, Huffman tables optimised for the
// picture (smaller files for the flat areas of the synthetic picture).
// Stateless; any thread.
class JpegEncoder
{
public:
    static constexpr int DefaultQuality = 75;
    // libjpeg's limit on either side.
    static constexpr std::uint32_t MaximalSide = 65'500;

    // Data is the top row of Width × Height pixels of B, G, R, A bytes (as
    // VideoFrameComposer draws them; alpha is ignored), Stride bytes apart.
    // Quality 1 to 100. A failure of the library raises E_FAIL with its message.
    static std::vector<std::uint8_t> Encode(std::uint8_t const* Data, std::uint32_t Width, std::uint32_t Height, std::uint32_t Stride,
                                            int Quality = DefaultQuality);
};
} // namespace Application
