// SPDX-License-Identifier: GPL-2.0-or-later
#include "media/VideoFrameConverter.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include <libyuv/convert.h>
#include <libyuv/convert_from_argb.h>

#include "base/Check.h"

namespace Application
{
namespace
{
// BT.2020 non-constant luminance from 10-bit R'G'B' code values to 10-bit
// limited range Y'CbCr (Y' 64 to 940, Cb and Cr 64 to 960 around 512), in
// 16.16 fixed point: Y' = 0.2627 R' + 0.6780 G' + 0.0593 B',
// Cb = (B' - Y') / 1.8814, Cr = (R' - Y') / 1.4746.
constexpr double LumaScale = 876.0 / 1023.0;
constexpr double ChromaScale = 896.0 / 1023.0;
constexpr double Kr = 0.2627;
constexpr double Kb = 0.0593;
constexpr double Kg = 1.0 - Kr - Kb;
constexpr std::int64_t Fixed(double Value) noexcept
{
    return static_cast<std::int64_t>(Value * 65536.0 + (Value < 0 ? -0.5 : 0.5));
}
constexpr std::int64_t YR = Fixed(LumaScale * Kr), YG = Fixed(LumaScale * Kg), YB = Fixed(LumaScale * Kb);
constexpr double CbDivisor = 2.0 * (1.0 - Kb), CrDivisor = 2.0 * (1.0 - Kr);
constexpr std::int64_t CbR = Fixed(-ChromaScale * Kr / CbDivisor), CbG = Fixed(-ChromaScale * Kg / CbDivisor), CbB = Fixed(ChromaScale * (1.0 - Kb) / CbDivisor);
constexpr std::int64_t CrR = Fixed(ChromaScale * (1.0 - Kr) / CrDivisor), CrG = Fixed(-ChromaScale * Kg / CrDivisor), CrB = Fixed(-ChromaScale * Kb / CrDivisor);

struct Rgb
{
    std::int64_t R, G, B;
};

Rgb ReadWide(std::uint8_t const* Pixel) noexcept
{
    std::uint32_t Word;
    std::memcpy(&Word, Pixel, sizeof Word);
    return {(Word >> 20) & 0x3FF, (Word >> 10) & 0x3FF, Word & 0x3FF};
}

// P010 keeps the 10 bits in the high bits of each little-endian word.
void WriteWide(std::uint8_t* Target, std::int64_t Value) noexcept
{
    auto const Word = static_cast<std::uint16_t>(std::clamp<std::int64_t>((Value + 0x8000) >> 16, 0, 1023) << 6);
    std::memcpy(Target, &Word, sizeof Word);
}
} // namespace

void VideoFrameConverter::ConvertWide(std::uint8_t const* Source, std::int32_t SourceStride, VideoPicture const& Target)
{
    CHECK_ARGUMENT(Target.Format == VideoPicture::Layout::P010);
    for(std::uint32_t Y = 0; Y < Target.Height; Y += 2)
    {
        std::uint32_t const Rows = std::min<std::uint32_t>(2, Target.Height - Y);
        for(std::uint32_t X = 0; X < Target.Width; X += 2)
        {
            std::uint32_t const Columns = std::min<std::uint32_t>(2, Target.Width - X);
            Rgb Sum{0, 0, 0};
            for(std::uint32_t Row = 0; Row < Rows; ++Row)
                for(std::uint32_t Column = 0; Column < Columns; ++Column)
                {
                    Rgb const Pixel = ReadWide(Source + static_cast<std::int64_t>(Y + Row) * SourceStride + (X + Column) * 4);
                    Sum = {Sum.R + Pixel.R, Sum.G + Pixel.G, Sum.B + Pixel.B};
                    WriteWide(Target.Planes[0] + static_cast<std::size_t>(Y + Row) * Target.Strides[0] + (X + Column) * 2,
                              (64 << 16) + YR * Pixel.R + YG * Pixel.G + YB * Pixel.B);
                }
            // Chroma of the 2×2 block's average.
            std::int64_t const Count = Rows * Columns;
            std::uint8_t* const Chroma = Target.Planes[1] + static_cast<std::size_t>(Y / 2) * Target.Strides[1] + X * 2;
            WriteWide(Chroma, (512 << 16) + (CbR * Sum.R + CbG * Sum.G + CbB * Sum.B) / Count);
            WriteWide(Chroma + 2, (512 << 16) + (CrR * Sum.R + CrG * Sum.G + CrB * Sum.B) / Count);
        }
    }
}

void VideoFrameConverter::Convert(std::uint8_t const* Source, std::int32_t SourceStride, VideoPicture const& Target)
{
    CHECK_POINTER(Source);
    CHECK_ARGUMENT(std::abs(static_cast<std::int64_t>(SourceStride)) >= static_cast<std::int64_t>(Target.Width) * 4);
    if(VideoPicture::IsWide(Target.Format))
        return ConvertWide(Source, SourceStride, Target);
    auto const Width = static_cast<int>(Target.Width);
    auto const Height = static_cast<int>(Target.Height);
    int Result = -1;
    if(Target.Format == VideoPicture::Layout::Nv12)
        Result = libyuv::ARGBToNV12(Source, SourceStride, Target.Planes[0], static_cast<int>(Target.Strides[0]), Target.Planes[1],
                                    static_cast<int>(Target.Strides[1]), Width, Height);
    else
        Result = libyuv::ARGBToI420(Source, SourceStride, Target.Planes[0], static_cast<int>(Target.Strides[0]), Target.Planes[1],
                                    static_cast<int>(Target.Strides[1]), Target.Planes[2], static_cast<int>(Target.Strides[2]), Width, Height);
    CHECK_LINE(Result == 0);
}

void VideoFrameConverter::Convert(VideoPicture const& Source, VideoPicture const& Target)
{
    CHECK_ARGUMENT(Source.Width == Target.Width && Source.Height == Target.Height);
    if(Source.Format == VideoPicture::Layout::P010)
    {
        CHECK_ARGUMENT(Target.Format == VideoPicture::Layout::I010);
        // The library counts 16-bit strides in samples.
        auto const Words = [](std::uint8_t* Plane) { return reinterpret_cast<std::uint16_t*>(Plane); };
        int const Result = libyuv::P010ToI010(Words(Source.Planes[0]), static_cast<int>(Source.Strides[0] / 2), Words(Source.Planes[1]),
                                              static_cast<int>(Source.Strides[1] / 2), Words(Target.Planes[0]), static_cast<int>(Target.Strides[0] / 2),
                                              Words(Target.Planes[1]), static_cast<int>(Target.Strides[1] / 2), Words(Target.Planes[2]),
                                              static_cast<int>(Target.Strides[2] / 2), static_cast<int>(Target.Width), static_cast<int>(Target.Height));
        CHECK_LINE(Result == 0);
        return;
    }
    CHECK_ARGUMENT(Source.Format == VideoPicture::Layout::Nv12 && Target.Format == VideoPicture::Layout::I420);
    int const Result = libyuv::NV12ToI420(Source.Planes[0], static_cast<int>(Source.Strides[0]), Source.Planes[1], static_cast<int>(Source.Strides[1]),
                                          Target.Planes[0], static_cast<int>(Target.Strides[0]), Target.Planes[1], static_cast<int>(Target.Strides[1]),
                                          Target.Planes[2], static_cast<int>(Target.Strides[2]), static_cast<int>(Target.Width),
                                          static_cast<int>(Target.Height));
    CHECK_LINE(Result == 0);
}

VideoPicture VideoFrameConverter::AsPlanar(VideoPicture const& Picture, std::vector<std::uint8_t>& Buffer)
{
    if(Picture.Format == VideoPicture::Layout::I420 || Picture.Format == VideoPicture::Layout::I010)
        return Picture;
    auto const Planar = Picture.Format == VideoPicture::Layout::P010 ? VideoPicture::Layout::I010 : VideoPicture::Layout::I420;
    Buffer.resize(VideoPicture::ContiguousSize(Picture.Width, Picture.Height, Planar));
    VideoPicture const Target = VideoPicture::Contiguous(Planar, Picture.Width, Picture.Height, Buffer.data());
    Convert(Picture, Target);
    return Target;
}
} // namespace Application
