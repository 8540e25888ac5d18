// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>

namespace Application
{
// A planar 4:2:0 picture in BT.601 limited range, as the encoders take it:
// NV12 (a luma plane and an interleaved chroma plane) or I420 (three planes).
// The picture refers to memory it does not own.
struct VideoPicture
{
    enum class Layout
    {
        Nv12,
        I420,
    };

    Layout Format = Layout::Nv12;
    std::uint32_t Width = 0;
    std::uint32_t Height = 0;
    std::uint8_t* Planes[3] = {};
    std::uint32_t Strides[3] = {};

    static std::uint32_t ChromaWidth(std::uint32_t Width) noexcept { return (Width + 1) / 2; }
    static std::uint32_t ChromaHeight(std::uint32_t Height) noexcept { return (Height + 1) / 2; }
    // Bytes of a picture whose planes follow each other without gaps.
    static std::size_t ContiguousSize(std::uint32_t Width, std::uint32_t Height) noexcept
    {
        return static_cast<std::size_t>(Width) * Height + 2 * static_cast<std::size_t>(ChromaWidth(Width)) * ChromaHeight(Height);
    }
    // The planes of such a picture in Data.
    static VideoPicture Contiguous(Layout Format, std::uint32_t Width, std::uint32_t Height, std::uint8_t* Data) noexcept
    {
        VideoPicture Picture{Format, Width, Height, {}, {}};
        std::size_t const LumaSize = static_cast<std::size_t>(Width) * Height;
        std::size_t const ChromaPlaneSize = static_cast<std::size_t>(ChromaWidth(Width)) * ChromaHeight(Height);
        Picture.Planes[0] = Data;
        Picture.Strides[0] = Width;
        Picture.Planes[1] = Data + LumaSize;
        if(Format == Layout::Nv12)
        {
            Picture.Strides[1] = 2 * ChromaWidth(Width);
            return Picture;
        }
        Picture.Strides[1] = ChromaWidth(Width);
        Picture.Planes[2] = Data + LumaSize + ChromaPlaneSize;
        Picture.Strides[2] = ChromaWidth(Width);
        return Picture;
    }
};
} // namespace Application
