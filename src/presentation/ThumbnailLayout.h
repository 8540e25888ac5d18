// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace Application
{
// "thumbs": how an asset's thumbnails are laid out. A tile image holds
// Columns × Rows thumbnails, row by row, one every Interval of media time;
// tile i covers [i × TileDuration, (i + 1) × TileDuration) of the timeline.
// The value is "CxR@S" (S whole seconds); the grid or the interval may be
// left out ("4x3", "@5", "") for the default's.
struct ThumbnailLayout
{
    static constexpr std::uint32_t DefaultColumns = 5;
    static constexpr std::uint32_t DefaultRows = 5;
    static constexpr std::uint32_t DefaultSeconds = 2;
    // A tile of 10 × 10 thumbnails of 256 × 144 is 2560 × 1440; one a
    // minute makes a tile span 100 minutes.
    static constexpr std::uint32_t MaximalColumns = 10;
    static constexpr std::uint32_t MaximalRows = 10;
    static constexpr std::uint32_t MaximalSeconds = 60;
    // A thumbnail is this wide and as high as the picture's aspect makes it
    // (even): 256 × 144 for 16:9 pictures.
    static constexpr std::uint32_t ThumbnailWidth = 256;

    std::uint32_t Columns = DefaultColumns;
    std::uint32_t Rows = DefaultRows;
    std::int64_t Interval = std::int64_t{DefaultSeconds} * 10'000'000;

    // Refuses (FailureCode::ThumbnailsInvalid, naming the value) anything
    // but the form above within the limits.
    static ThumbnailLayout Parse(std::string_view Value);

    std::uint32_t Count() const noexcept { return Columns * Rows; }
    std::int64_t TileDuration() const noexcept { return Interval * Count(); }
    // "5x5", as EXT-X-TILES and the DASH descriptor write it.
    std::string GridText() const;
    // The thumbnail's height for pictures of Width × Height.
    static std::uint32_t ThumbnailHeight(std::uint32_t Width, std::uint32_t Height) noexcept;

    bool operator==(ThumbnailLayout const&) const = default;
};
} // namespace Application
