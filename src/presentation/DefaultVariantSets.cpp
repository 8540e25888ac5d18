// SPDX-License-Identifier: GPL-2.0-or-later
#include "presentation/DefaultVariantSets.h"

namespace Application
{
namespace
{
VariantSet MakeDefaultSet(VideoSubtype Subtype)
{
    VariantSet Set;
    Set.AudioVariants.push_back({AudioSubtype::Aac, {}, 128, 60'000'000, std::nullopt, "en"});
    Set.VideoVariants.push_back({0, Subtype, 1280, 720, 25, 1, 2'400'000, {}, 30'000'000, false});
    Set.VideoVariants.push_back({1, Subtype, 960, 540, 1, 1, 995'000, {}, 30'000'000, true});
    return Set;
}
} // namespace

DefaultVariantSets::DefaultVariantSets() :
    H264(MakeDefaultSet(VideoSubtype::H264)), Hevc(MakeDefaultSet(VideoSubtype::Hevc)), Av1(MakeDefaultSet(VideoSubtype::Av1)),
    Vp9(MakeDefaultSet(VideoSubtype::Vp9))
{
}

VariantSet const& DefaultVariantSets::Of(VideoSubtype Subtype) const noexcept
{
    switch(Subtype)
    {
    case VideoSubtype::Hevc:
        return Hevc;
    case VideoSubtype::Av1:
        return Av1;
    case VideoSubtype::Vp9:
        return Vp9;
    case VideoSubtype::H264:
        break;
    }
    return H264;
}
} // namespace Application
