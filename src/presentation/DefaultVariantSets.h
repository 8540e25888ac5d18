// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "presentation/VariantSet.h"

namespace Application
{
// The variant tables the server starts with: an H.264, an HEVC, an AV1 and
// a VP9 set, and HEVC and AV1 sets in PQ and in HLG, each with its own copy
// of the audio list. The start-up encoding probes fill their codecs texts;
// assets copy them.
struct DefaultVariantSets
{
    VariantSet H264;
    VariantSet Hevc;
    VariantSet Av1;
    VariantSet Vp9;
    VariantSet HevcPq;
    VariantSet HevcHlg;
    VariantSet Av1Pq;
    VariantSet Av1Hlg;

    DefaultVariantSets();

    // HDR sets are HEVC's and AV1's: other codecs fall back to their own.
    VariantSet const& Of(VideoSubtype Subtype, DynamicRange Range = DynamicRange::Sdr) const noexcept;
    // Every set, for the start-up probes.
    std::vector<VariantSet*> All();
};
} // namespace Application
