// SPDX-License-Identifier: GPL-2.0-or-later
#include "presentation/ThumbnailTrack.h"

#include "base/Check.h"
#include "base/MulDiv.h"
#include "base/StringFormat.h"
#include "presentation/SubtitleTrack.h"

namespace Application
{
namespace
{
ThumbnailLayout const& LayoutOf(Configuration const& Asset)
{
    CHECK_LINE(Asset.Thumbnails.has_value());
    return *Asset.Thumbnails;
}
} // namespace

VideoVariant const& ThumbnailTrack::SourceRow(Configuration const& Asset)
{
    // The subtitles' segments follow the same row.
    return SubtitleTrack::VideoRow(Asset);
}

std::uint32_t ThumbnailTrack::ThumbnailWidth(Configuration const&)
{
    return ThumbnailLayout::ThumbnailWidth;
}

std::uint32_t ThumbnailTrack::ThumbnailHeight(Configuration const& Asset)
{
    auto const& Row = SourceRow(Asset);
    return ThumbnailLayout::ThumbnailHeight(Row.FrameSizeW, Row.FrameSizeH);
}

std::uint32_t ThumbnailTrack::TileWidth(Configuration const& Asset)
{
    return LayoutOf(Asset).Columns * ThumbnailWidth(Asset);
}

std::uint32_t ThumbnailTrack::TileHeight(Configuration const& Asset)
{
    return LayoutOf(Asset).Rows * ThumbnailHeight(Asset);
}

std::uint32_t ThumbnailTrack::Bandwidth(Configuration const& Asset)
{
    auto const& Layout = LayoutOf(Asset);
    return static_cast<std::uint32_t>(MulDivCeiling(std::int64_t{ThumbnailBytes} * 8, TimeUnitsPerSecond, Layout.Interval));
}

std::string ThumbnailTrack::PlaylistUri(Configuration const& Asset)
{
    return StringFormat("thumbs.m3u8?asset=%u", Asset.Asset);
}
} // namespace Application
