// SPDX-License-Identifier: GPL-2.0-or-later
#include "media/ThumbnailTilePainter.h"

#include <libyuv/scale_argb.h>

#include "base/Check.h"
#include "media/JpegEncoder.h"
#include "media/VideoFrameGrid.h"

namespace Application
{
ThumbnailTilePainter::ThumbnailTilePainter(std::uint32_t Columns, std::uint32_t Rows, std::uint32_t ThumbnailWidth, std::uint32_t ThumbnailHeight) :
    m_Columns(Columns), m_Rows(Rows), m_ThumbnailWidth(ThumbnailWidth), m_ThumbnailHeight(ThumbnailHeight)
{
    CHECK_ARGUMENT(Columns > 0 && Rows > 0 && ThumbnailWidth > 0 && ThumbnailHeight > 0);
    CHECK_ARGUMENT(std::uint64_t{Columns} * ThumbnailWidth <= JpegEncoder::MaximalSide && std::uint64_t{Rows} * ThumbnailHeight <= JpegEncoder::MaximalSide);
    // Opaque black: what a cell never painted shows.
    m_Tile.resize(std::size_t{Width()} * Height() * VideoFrameComposer::BytesPerPixel);
    for(std::size_t Alpha = 3; Alpha < m_Tile.size(); Alpha += 4)
        m_Tile[Alpha] = 0xFF;
}

ThumbnailTilePainter::~ThumbnailTilePainter() = default;

void ThumbnailTilePainter::Paint(std::uint32_t Position, Shot const& Value)
{
    CHECK_ARGUMENT(Position < m_Columns * m_Rows);
    CHECK_POINTER(Value.Picture);
    CHECK_ARGUMENT(Value.Time >= 0 && !IsHighDynamicRange(Value.Picture->Range));
    auto const& Settings = *Value.Picture;
    if(Value.Picture != m_ComposedSettings)
    {
        m_Composer = std::make_unique<VideoFrameComposer>(Settings);
        m_ComposedSettings = Value.Picture;
        m_Picture.resize(std::size_t{Settings.Width} * Settings.Height * VideoFrameComposer::BytesPerPixel);
    }
    VideoFrameGrid const Grid(Settings.RateN, Settings.RateD);
    std::int64_t const Frame = Grid.FrameAt(Value.Time);
    std::uint32_t const Stride = Settings.Width * VideoFrameComposer::BytesPerPixel;
    m_Composer->Compose(Frame, Grid.FrameTime(Frame), m_Picture.data(), Stride);
    std::uint32_t const TileStride = Width() * VideoFrameComposer::BytesPerPixel;
    std::uint8_t* const Cell = m_Tile.data() + std::size_t{Position / m_Columns} * m_ThumbnailHeight * TileStride +
                               std::size_t{Position % m_Columns} * m_ThumbnailWidth * VideoFrameComposer::BytesPerPixel;
    // The box filter averages every source pixel of a cell: the thin
    // strokes of the text stay visible at a fifth of the size.
    CHECK_LINE(libyuv::ARGBScale(m_Picture.data(), static_cast<int>(Stride), static_cast<int>(Settings.Width), static_cast<int>(Settings.Height), Cell,
                                 static_cast<int>(TileStride), static_cast<int>(m_ThumbnailWidth), static_cast<int>(m_ThumbnailHeight),
                                 libyuv::kFilterBox) == 0);
}

std::vector<std::uint8_t> ThumbnailTilePainter::Encode(int Quality) const
{
    return JpegEncoder::Encode(m_Tile.data(), Width(), Height(), Width() * VideoFrameComposer::BytesPerPixel, Quality);
}
} // namespace Application
