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

    // The audio row named by the query's "audio" (its codec), the first row
    // without one; the failure code of the "audio" row (0x80FF0E80) when it
    // names no row of the asset.
    std::size_t AudioRowOf(QueryVector const& Query) const;
    // What the URLs of a row's playlist and segments add to name it:
    // "&audio=ec3" in an asset of several rows, nothing in one of one.
    std::string AudioRowQuery(AudioVariant const& Variant) const;
};
} // namespace Application
