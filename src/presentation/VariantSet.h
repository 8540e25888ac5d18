// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "base/QueryStringNameValue.h"
#include "media/AudioVariant.h"
#include "media/VideoVariant.h"

namespace Application
{
// The rows of one asset: its audio rows, then its video rows.
struct VariantSet
{
    std::vector<AudioVariant> AudioVariants;
    std::vector<VideoVariant> VideoVariants;

    // Selects the row named by the query's "variant": false when the key is
    // absent or the number is not below the row count (negative numbers select
    // nothing); E_INVALIDARG when the value has no digits. Text after the
    // digits is accepted.
    bool ParseVideoVariant(QueryVector const& Query, VideoVariant& Variant) const;

    // The audio row named by the query's "audio" (its codec), "lang" (its
    // language) and "describes" (the description rendition), each taken as
    // the first row's when absent; the failure code of the "audio" row
    // (0x80FF0E80) when they name no row of the asset.
    std::size_t AudioRowOf(QueryVector const& Query) const;
    // What the URLs of a row's playlist and segments add to name it:
    // "&audio=ec3" in an asset of several codecs, "&lang=fr" in one of
    // language renditions ("&lang=en&describes=1" for a description),
    // nothing in one of one row.
    std::string AudioRowQuery(AudioVariant const& Variant) const;
    // The different codecs of the audio rows.
    std::size_t AudioCodecCount() const;
    // Whether the rows are language renditions ("lang", "describes").
    bool HasAudioVoices() const;
};
} // namespace Application
