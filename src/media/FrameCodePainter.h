// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <string>

namespace Application
{
// Paints a QR code (libqrencode, error correction level M) into the top-left
// corner of a picture, black modules on white with a white quiet zone of
// four modules. The corner stays clear of the picture's texts: the code
// takes at most a quarter of the picture's height (and width), while the
// texts begin below a third of the height. Modules are whole pixels, as
// large as fit: payloads of FrameCodePayload make a version 3 or 4 symbol
// (29 or 33 modules; 5 with a break or a change epoch beside a live time,
// which still fits the same module size; beyond 84 characters, only with
// the largest numbers in every field, 6), so 4 pixels at 1280x720 and 3 at
// 960x540, which survive encoding and read from extracted frames.
class FrameCodePainter
{
public:
    static constexpr std::uint32_t QuietZoneModules = 4;
    static constexpr std::uint32_t SideDivisor = 4;

    // Where a code lands: its square, quiet zone included, from (0, 0).
    struct Placement
    {
        std::uint32_t SymbolModules = 0; // modules across the symbol, without the quiet zone
        std::uint32_t ModulePixels = 0;
        std::uint32_t Side = 0; // pixels across, quiet zone included
    };

    static Placement PlacementOf(std::uint32_t SymbolModules, std::uint32_t Width, std::uint32_t Height) noexcept;

    // Paints Text into a top-down ARGB32 picture (B, G, R, A bytes) of
    // Width x Height with rows Stride bytes apart.
    static Placement Paint(std::string const& Text, std::uint8_t* Data, std::uint32_t Stride, std::uint32_t Width, std::uint32_t Height);
};
} // namespace Application
