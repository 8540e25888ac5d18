// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "presentation/VariantSet.h"

namespace Application
{
// The variant tables the server starts with: an H.264, an HEVC, an AV1 and
// a VP9 set, each with its own copy of the audio list. The start-up encoding
// probes fill their codecs texts; assets copy them.
struct DefaultVariantSets
{
    VariantSet H264;
    VariantSet Hevc;
    VariantSet Av1;
    VariantSet Vp9;

    DefaultVariantSets();

    VariantSet const& Of(VideoSubtype Subtype) const noexcept;
};
} // namespace Application
