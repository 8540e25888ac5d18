// SPDX-License-Identifier: GPL-2.0-or-later
#include "presentation/AdAssets.h"

#include "base/Check.h"
#include "base/FailureCodes.h"
#include "base/StringFormat.h"
#include "presentation/DecimalText.h"
#include "presentation/QueryNumbers.h"

namespace Application
{
namespace
{
[[noreturn]] void Refuse(std::string const& Message)
{
    ThrowCheckFailure(FailureCode::BreakUnknown, TRACE_CONTEXT(), "AdAssets", Message);
}

AdBreak BreakOf(Configuration const& Asset, std::uint32_t Number)
{
    if(!Asset.Breaks || Asset.Breaks->Ads == 0)
        Refuse(StringFormat("Asset %u has no ads", Asset.Asset));
    auto const Break = Asset.Breaks->Schedule.Numbered(Number);
    if(!Break)
        Refuse(StringFormat("Asset %u has no break %u", Asset.Asset, Number));
    return *Break;
}

} // namespace

std::optional<Configuration> AdAssets::Of(Configuration const& Asset, QueryVector const& Query)
{
    auto const Break = QueryInteger(Query, "break");
    auto const Ad = QueryInteger(Query, "ad");
    if(!Break && !Ad)
        return std::nullopt;
    if(!Break || !Ad)
        Refuse("An ad is named by \"break\" and \"ad\" together");
    return Make(Asset, static_cast<std::uint32_t>(*Break), static_cast<std::uint32_t>(*Ad));
}

Configuration AdAssets::Make(Configuration const& Asset, std::uint32_t Break, std::uint32_t Number)
{
    auto const Slots = Asset.Breaks ? Asset.Breaks->AdsOf(BreakOf(Asset, Break)) : std::vector<AdSlot>{};
    if(Number == 0 || Number > Slots.size())
        Refuse(StringFormat("Break %u of asset %u has no ad %u", Break, Asset.Asset, Number));
    Configuration Ad = Asset;
    Ad.Live = false;
    Ad.LowLatency = false;
    Ad.LiveWindow.reset();
    Ad.LiveEndTime.reset();
    Ad.EventEnd.reset();
    Ad.ProgramDateTimePeriod.reset();
    Ad.Duration = Slots[Number - 1].Duration;
    for(auto& Variant : Ad.VariantSet.AudioVariants)
        Variant.Duration = Ad.Duration;
    // An ad is made as it is, without the content's changes.
    Ad.Changes = {};
    Ad.OtherCodecVariants.clear();
    Ad.Breaks.reset();
    Ad.SubtitleLanguages.clear();
    Ad.Captions = CaptionServices::None;
    // The content's thumbnails are of the content: an ad has none.
    Ad.Thumbnails.reset();
    // An ad's master playlist names no I-frame playlists: a player seeks
    // within the primary presentation, not within an ad.
    Ad.IFrames = false;
    // An interstitial's own master playlist names no pathways: the ad is
    // the ad server's, not the content's CDNs'.
    Ad.Steering.reset();
    Ad.Advert = Configuration::AdvertIdentity{Break, Number, static_cast<std::uint32_t>(Slots.size())};
    // A live asset's ad is due as its slot comes: its segments are offered
    // and sent as the content's would be in its place.
    if(Asset.Live)
        Ad.BaseLiveTime = Asset.BaseLiveTime + BreakOf(Asset, Break).Start + Slots[Number - 1].Offset;
    return Ad;
}

std::string AdAssets::AssetList(Configuration const& Asset, std::uint32_t Break, std::string const& AdPlaylist)
{
    auto const Slots = Asset.Breaks ? Asset.Breaks->AdsOf(BreakOf(Asset, Break)) : std::vector<AdSlot>{};
    std::string Text = "{\"ASSETS\":[";
    for(auto const& Slot : Slots)
        Text += StringFormat("%s{\"URI\":\"%s?asset=%u&break=%u&ad=%u\",\"DURATION\":%s}", Slot.Number == 1 ? "" : ",", AdPlaylist.c_str(), Asset.Asset,
                             Break, Slot.Number, FormatSeconds(Slot.Duration).c_str());
    return Text + "]}";
}
} // namespace Application
