// SPDX-License-Identifier: GPL-2.0-or-later
#include "media/FrameCodePainter.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include <qrencode.h>

#include "base/Check.h"

namespace Application
{
namespace
{
constexpr std::uint32_t White = 0xFFFFFFFF;
constexpr std::uint32_t Black = 0xFF000000;

struct QrCodeDeleter
{
    void operator()(QRcode* Code) const noexcept { QRcode_free(Code); }
};

void FillRow(std::uint8_t* Row, std::uint32_t Left, std::uint32_t Count, std::uint32_t Color)
{
    auto* Pixel = Row + static_cast<std::size_t>(Left) * 4;
    for(std::uint32_t Index = 0; Index < Count; ++Index, Pixel += 4)
        std::memcpy(Pixel, &Color, 4);
}
} // namespace

FrameCodePainter::Placement FrameCodePainter::PlacementOf(std::uint32_t SymbolModules, std::uint32_t Width, std::uint32_t Height) noexcept
{
    std::uint32_t const Modules = SymbolModules + 2 * QuietZoneModules;
    std::uint32_t const Room = std::min(Width, Height) / SideDivisor;
    std::uint32_t const ModulePixels = std::max<std::uint32_t>(1, Room / Modules);
    return {SymbolModules, ModulePixels, Modules * ModulePixels};
}

FrameCodePainter::Placement FrameCodePainter::Paint(std::string const& Text, std::uint8_t* Data, std::uint32_t Stride, std::uint32_t Width, std::uint32_t Height)
{
    CHECK_POINTER(Data);
    // Mixed modes: the digit runs go in numeric mode, which keeps the symbol small.
    std::unique_ptr<QRcode, QrCodeDeleter> const Code(QRcode_encodeString(Text.c_str(), 0, QR_ECLEVEL_M, QR_MODE_8, 1));
    CHECK_POINTER(Code);
    auto const Where = PlacementOf(static_cast<std::uint32_t>(Code->width), Width, Height);
    // A picture too small for the code gets none rather than a cut one.
    if(Where.Side > Width || Where.Side > Height)
        return {};
    std::uint32_t const Quiet = QuietZoneModules * Where.ModulePixels;
    for(std::uint32_t Y = 0; Y < Where.Side; ++Y)
    {
        std::uint8_t* const Row = Data + static_cast<std::size_t>(Y) * Stride;
        FillRow(Row, 0, Where.Side, White);
        if(Y < Quiet || Y >= Where.Side - Quiet)
            continue;
        // Bit 0 of each byte of the symbol data is the module's colour.
        unsigned char const* const Modules = Code->data + static_cast<std::size_t>((Y - Quiet) / Where.ModulePixels) * Where.SymbolModules;
        for(std::uint32_t Column = 0; Column < Where.SymbolModules; ++Column)
            if(Modules[Column] & 1)
                FillRow(Row, Quiet + Column * Where.ModulePixels, Where.ModulePixels, Black);
    }
    return Where;
}
} // namespace Application
