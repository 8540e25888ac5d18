// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "media/VideoFrameComposer.h"

namespace Application
{
// One tile image of thumbnails: a grid of Columns × Rows cells, each
// ThumbnailWidth × ThumbnailHeight pixels, filled row by row. A cell shows
// the very picture the video has at one instant: drawn at the picture's own
// size by VideoFrameComposer, so that its frame number, time and format
// line are those of the video, and scaled down into the cell with a box
// filter (libyuv). Cells never painted stay black. The tile is then
// encoded as one JPEG picture. Used by one thread at a time.
class ThumbnailTilePainter
{
public:
    // One instant: the settings of the picture there (size, rate, colours,
    // texts; SDR), shared by the shots of one stretch of the video, and the
    // presentation time, whose frame on the picture's frame grid is shown.
    struct Shot
    {
        std::shared_ptr<VideoFrameComposer::Parameters const> Picture;
        std::int64_t Time = 0;
    };

    ThumbnailTilePainter(std::uint32_t Columns, std::uint32_t Rows, std::uint32_t ThumbnailWidth, std::uint32_t ThumbnailHeight);
    ~ThumbnailTilePainter();
    ThumbnailTilePainter(ThumbnailTilePainter const&) = delete;
    ThumbnailTilePainter& operator=(ThumbnailTilePainter const&) = delete;

    std::uint32_t Width() const noexcept { return m_Columns * m_ThumbnailWidth; }
    std::uint32_t Height() const noexcept { return m_Rows * m_ThumbnailHeight; }

    // Draws the picture of Value into cell Position (from 0, row by row).
    void Paint(std::uint32_t Position, Shot const& Value);
    // The tile as a JPEG picture of Width() × Height().
    std::vector<std::uint8_t> Encode(int Quality) const;

private:
    std::uint32_t const m_Columns;
    std::uint32_t const m_Rows;
    std::uint32_t const m_ThumbnailWidth;
    std::uint32_t const m_ThumbnailHeight;
    std::vector<std::uint8_t> m_Tile; // B, G, R, A rows
    // The composer of the last settings painted (its fonts and layouts are
    // worth keeping across the cells of a stretch), and its picture.
    std::shared_ptr<VideoFrameComposer::Parameters const> m_ComposedSettings;
    std::unique_ptr<VideoFrameComposer> m_Composer;
    std::vector<std::uint8_t> m_Picture;
};
} // namespace Application
