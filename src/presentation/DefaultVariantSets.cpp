// SPDX-License-Identifier: GPL-2.0-or-later
#include "presentation/DefaultVariantSets.h"

namespace Application
{
namespace
{
VariantSet MakeDefaultSet(VideoSubtype Subtype, DynamicRange Range = DynamicRange::Sdr)
{
    VariantSet Set;
    Set.AudioVariants.push_back({AudioSubtype::Aac, {}, 128, 60'000'000, std::nullopt, "en"});
    Set.VideoVariants.push_back({0, Subtype, 1280, 720, 25, 1, 2'400'000, {}, 30'000'000, false});
    Set.VideoVariants.push_back({1, Subtype, 960, 540, 1, 1, 995'000, {}, 30'000'000, true});
    for(auto& Variant : Set.VideoVariants)
        Variant.Range = Range;
    return Set;
}
} // namespace

DefaultVariantSets::DefaultVariantSets() :
    H264(MakeDefaultSet(VideoSubtype::H264)), Hevc(MakeDefaultSet(VideoSubtype::Hevc)), Av1(MakeDefaultSet(VideoSubtype::Av1)),
    Vp9(MakeDefaultSet(VideoSubtype::Vp9)), HevcPq(MakeDefaultSet(VideoSubtype::Hevc, DynamicRange::Pq)),
    HevcHlg(MakeDefaultSet(VideoSubtype::Hevc, DynamicRange::Hlg)), Av1Pq(MakeDefaultSet(VideoSubtype::Av1, DynamicRange::Pq)),
    Av1Hlg(MakeDefaultSet(VideoSubtype::Av1, DynamicRange::Hlg))
{
}

std::vector<VariantSet*> DefaultVariantSets::All()
{
    return {&H264, &Hevc, &Av1, &Vp9, &HevcPq, &HevcHlg, &Av1Pq, &Av1Hlg};
}

VariantSet const& DefaultVariantSets::Of(VideoSubtype Subtype, DynamicRange Range) const noexcept
{
    bool const Pq = Range == DynamicRange::Pq;
    switch(Subtype)
    {
    case VideoSubtype::Hevc:
        return Range == DynamicRange::Sdr ? Hevc : Pq ? HevcPq : HevcHlg;
    case VideoSubtype::Av1:
        return Range == DynamicRange::Sdr ? Av1 : Pq ? Av1Pq : Av1Hlg;
    case VideoSubtype::Vp9:
        return Vp9;
    case VideoSubtype::H264:
        break;
    }
    return H264;
}
} // namespace Application
