// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <optional>
#include <string>

#include "base/QueryStringNameValue.h"
#include "presentation/Configuration.h"

namespace Application
{
// The generated ads that fill an asset's breaks ("ads"). Ad I of break K is
// a presentation of its own, on-demand, as long as its slot, with the
// asset's rows, codecs and encryption: its requests are the asset's with
// "break" and "ad" added, and made from the configuration Of gives.
class AdAssets
{
public:
    // The ad a request names with "break" and "ad"; nothing when it names
    // none. Raises FailureCode::BreakUnknown for a break or an ad the asset
    // does not have (or only one of the two keys).
    static std::optional<Configuration> Of(Configuration const& Asset, QueryVector const& Query);
    // Ad Number of break Break of the asset; raises as Of does.
    static Configuration Make(Configuration const& Asset, std::uint32_t Break, std::uint32_t Number);

    // adlist.json of break Break: {"ASSETS":[{"URI":"<AdPlaylist>?...","DURATION":3.000},...]},
    // AdPlaylist the address of the ad.m3u8 route.
    static std::string AssetList(Configuration const& Asset, std::uint32_t Break, std::string const& AdPlaylist);
};
} // namespace Application
