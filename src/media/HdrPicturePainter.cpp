// SPDX-License-Identifier: GPL-2.0-or-later
#include "media/HdrPicturePainter.h"

#include <cmath>
#include <cstring>

#include "base/Check.h"

namespace Application
{
namespace
{
// SMPTE ST 2084: the signal of a luminance (cd/m²).
double PerceptualQuantizer(double Luminance) noexcept
{
    constexpr double M1 = 2610.0 / 16384.0, M2 = 2523.0 / 4096.0 * 128.0;
    constexpr double C1 = 3424.0 / 4096.0, C2 = 2413.0 / 4096.0 * 32.0, C3 = 2392.0 / 4096.0 * 32.0;
    double const Power = std::pow(Luminance / 10'000.0, M1);
    return std::pow((C1 + C2 * Power) / (1.0 + C3 * Power), M2);
}

// ARIB STD-B67: the signal of a relative scene light level (0 to 1).
double HybridLogGamma(double Light) noexcept
{
    constexpr double A = 0.17883277, B = 1.0 - 4.0 * A, C = 0.55991073; // C = 0.5 - a ln(4a)
    return Light <= 1.0 / 12.0 ? std::sqrt(3.0 * Light) : A * std::log(12.0 * Light - B) + C;
}

// The graphics are drawn for a display with a 2.4 gamma.
constexpr double GraphicsGamma = 2.4;
constexpr double PqGraphicsWhite = 203.0;
// The scene light HLG's 75 % signal stands for.
constexpr double HlgGraphicsWhite = 0.2647;
constexpr std::uint32_t TopLevel = 1023;

std::uint32_t WideWord(std::uint32_t R, std::uint32_t G, std::uint32_t B) noexcept
{
    return 0xC0000000u | R << 20 | G << 10 | B;
}

// Full-level bars in the order of the classic pattern: each colour is on
// or off per channel.
constexpr std::uint32_t BarChannels[] = {0b111, 0b110, 0b011, 0b010, 0b101, 0b100, 0b001, 0b000};

void Fill(std::uint8_t* Row, std::uint32_t From, std::uint32_t To, std::uint32_t Word) noexcept
{
    for(std::uint32_t Column = From; Column < To; ++Column)
        std::memcpy(Row + static_cast<std::size_t>(Column) * 4, &Word, 4);
}
} // namespace

HdrPicturePainter::HdrPicturePainter(DynamicRange Range)
{
    CHECK_ARGUMENT(IsHighDynamicRange(Range));
    for(std::size_t Level = 0; Level < m_Levels.size(); ++Level)
    {
        double const Display = std::pow(Level / 255.0, GraphicsGamma);
        double const Signal = Range == DynamicRange::Pq ? PerceptualQuantizer(Display * PqGraphicsWhite) : HybridLogGamma(Display * HlgGraphicsWhite);
        m_Levels[Level] = static_cast<std::uint16_t>(std::lround(Signal * TopLevel));
    }
}

void HdrPicturePainter::Widen(std::uint8_t* Data, std::uint32_t Stride, std::uint32_t Width, std::uint32_t Height) const
{
    for(std::uint32_t Y = 0; Y < Height; ++Y)
    {
        std::uint8_t* Pixel = Data + static_cast<std::size_t>(Y) * Stride;
        for(std::uint32_t X = 0; X < Width; ++X, Pixel += 4)
        {
            // Bytes B, G, R, A in; a little-endian word of 10-bit R, G, B out.
            std::uint32_t const Word = WideWord(m_Levels[Pixel[2]], m_Levels[Pixel[1]], m_Levels[Pixel[0]]);
            std::memcpy(Pixel, &Word, 4);
        }
    }
}

void HdrPicturePainter::Paint(std::uint8_t* Data, std::uint32_t Stride, std::uint32_t Width, std::uint32_t Height) const
{
    CHECK_POINTER(Data);
    CHECK_ARGUMENT(Width > 0 && Stride >= Width * 4);
    Widen(Data, Stride, Width, Height);
    auto const BandTop = static_cast<std::uint32_t>(std::ceil(Height * (1.0 - BandShare)));
    std::uint32_t const RampTop = BandTop + (Height - BandTop) / 2;
    std::uint32_t const BarCount = std::size(BarChannels);
    for(std::uint32_t Y = BandTop; Y < Height; ++Y)
    {
        std::uint8_t* const Row = Data + static_cast<std::size_t>(Y) * Stride;
        if(Y < RampTop)
        {
            for(std::uint32_t Bar = 0; Bar < BarCount; ++Bar)
            {
                std::uint32_t const On = BarChannels[Bar];
                Fill(Row, Width * Bar / BarCount, Width * (Bar + 1) / BarCount,
                     WideWord(On & 0b100 ? TopLevel : 0, On & 0b010 ? TopLevel : 0, On & 0b001 ? TopLevel : 0));
            }
            continue;
        }
        for(std::uint32_t X = 0; X < Width; ++X)
        {
            auto const Level = Width > 1 ? static_cast<std::uint32_t>((static_cast<std::uint64_t>(X) * TopLevel * 2 + (Width - 1)) / (2 * (Width - 1))) : 0;
            Fill(Row, X, X + 1, WideWord(Level, Level, Level));
        }
    }
}
} // namespace Application
