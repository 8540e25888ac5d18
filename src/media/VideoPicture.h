// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>

namespace Application
{
// A planar 4:2:0 picture in limited range, as the encoders take it: NV12 (a
// luma plane and an interleaved chroma plane) or I420 (three planes) of
// 8-bit BT.601 samples, or the same layouts of 10-bit BT.2020 samples in
// 16-bit little-endian words, P010 (the value in the high bits) and I010 (in
// the low bits). Strides count bytes. The picture refers to memory it does
// not own.
struct VideoPicture
{
    enum class Layout
    {
        Nv12,
        I420,
        P010,
        I010,
    };

    Layout Format = Layout::Nv12;
    std::uint32_t Width = 0;
    std::uint32_t Height = 0;
    std::uint8_t* Planes[3] = {};
    std::uint32_t Strides[3] = {};

    static std::uint32_t ChromaWidth(std::uint32_t Width) noexcept { return (Width + 1) / 2; }
    static std::uint32_t ChromaHeight(std::uint32_t Height) noexcept { return (Height + 1) / 2; }
    static bool IsWide(Layout Format) noexcept { return Format == Layout::P010 || Format == Layout::I010; }
    static std::uint32_t BytesPerSample(Layout Format) noexcept { return IsWide(Format) ? 2 : 1; }
    // Bytes of a picture whose planes follow each other without gaps.
    static std::size_t ContiguousSize(std::uint32_t Width, std::uint32_t Height, Layout Format = Layout::Nv12) noexcept
    {
        return BytesPerSample(Format) * (static_cast<std::size_t>(Width) * Height + 2 * static_cast<std::size_t>(ChromaWidth(Width)) * ChromaHeight(Height));
    }
    // The planes of such a picture in Data.
    static VideoPicture Contiguous(Layout Format, std::uint32_t Width, std::uint32_t Height, std::uint8_t* Data) noexcept
    {
        VideoPicture Picture{Format, Width, Height, {}, {}};
        std::uint32_t const Sample = BytesPerSample(Format);
        std::size_t const LumaSize = static_cast<std::size_t>(Width) * Height * Sample;
        std::size_t const ChromaPlaneSize = static_cast<std::size_t>(ChromaWidth(Width)) * ChromaHeight(Height) * Sample;
        Picture.Planes[0] = Data;
        Picture.Strides[0] = Width * Sample;
        Picture.Planes[1] = Data + LumaSize;
        if(Format == Layout::Nv12 || Format == Layout::P010)
        {
            Picture.Strides[1] = 2 * ChromaWidth(Width) * Sample;
            return Picture;
        }
        Picture.Strides[1] = ChromaWidth(Width) * Sample;
        Picture.Planes[2] = Data + LumaSize + ChromaPlaneSize;
        Picture.Strides[2] = ChromaWidth(Width) * Sample;
        return Picture;
    }
};
} // namespace Application
