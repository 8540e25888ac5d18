// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

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
};
} // namespace Application
