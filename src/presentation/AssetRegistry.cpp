// SPDX-License-Identifier: GPL-2.0-or-later
#include "presentation/AssetRegistry.h"

#include <algorithm>
#include <limits>

#include "base/Check.h"
#include "base/FailureCodes.h"
#include "presentation/QueryNumbers.h"
#include "presentation/Timeline.h"

namespace Application
{
AssetRegistry::AssetRegistry(DefaultVariantSets const& Defaults, AudioCodecsProbe Probe, std::size_t MaximalAssets, std::shared_ptr<AssetStore> Store) :
    m_Defaults(Defaults), m_Store(std::move(Store)), m_AudioCodecsProbe(std::move(Probe)), m_MaximalAssets(std::max<std::size_t>(MaximalAssets, 1))
{
}

Configuration& AssetRegistry::Create(ManifestKind Kind, QueryVector const& Query, std::int64_t BaseLiveTime, std::int64_t Now)
{
    std::uint32_t Asset = 0;
    if(m_Store)
        Asset = m_Store->NextAssetNumber();
    else
    {
        // Numbers are never reused: once all are taken, manifests fail.
        CHECK_LINE(m_NextAsset <= std::numeric_limits<std::uint32_t>::max());
        Asset = static_cast<std::uint32_t>(m_NextAsset++);
    }
    StoredAsset const Value{Asset, Kind, Query, BaseLiveTime, Now};
    auto& Record = Register(Value);
    // Saved once parsed: a query that fails is never found.
    if(m_Store)
        m_Store->Save(Value);
    return Record;
}

Configuration& AssetRegistry::Register(StoredAsset const& Value)
{
    auto const Kind = Value.Kind;
    auto const& Query = Value.Query;
    auto const Asset = Value.Asset;
    Configuration Parsed(Asset, Value.BaseLiveTime, Query, Value.Now);
    if(m_Recent.size() >= m_MaximalAssets)
    {
        m_Assets.erase(m_Recent.back().Asset);
        m_Recent.pop_back();
    }
    auto& Record = m_Recent.emplace_front(std::move(Parsed));
    m_Assets.emplace(Asset, m_Recent.begin());
    bool const Hls = Kind == ManifestKind::Hls;
    Record.VariantSet = Hls && QueryFlag(Query, "hvc1") ? m_Defaults.Hevc : m_Defaults.H264;
    auto& AudioVariants = Record.VariantSet.AudioVariants;
    if(Hls && QueryFlag(Query, "flac") && !AudioVariants.empty())
        AudioVariants.front() = AudioVariants.front().FlacAlternative();
    for(auto& Variant : AudioVariants)
        Variant.Duration = Record.Duration;
    if(!Record.NoAudio && !AudioVariants.empty() && m_AudioCodecsProbe)
        m_AudioCodecsProbe(AudioVariants.front());
    return Record;
}

Configuration& AssetRegistry::Find(QueryVector const& Query)
{
    auto const Asset = QueryInteger(Query, "asset");
    CHECK_CONDITION(Asset.has_value(), FailureCode::AssetMissing);
    auto const Iterator = m_Assets.find(static_cast<std::uint32_t>(*Asset));
    if(Iterator == m_Assets.end() && m_Store)
    {
        auto const Stored = m_Store->Load(static_cast<std::uint32_t>(*Asset));
        CHECK_CONDITION(Stored.has_value(), FailureCode::AssetUnknown);
        auto& Record = Register(*Stored);
        // The master playlist set the end of a live asset when it was made.
        if(Stored->Kind == ManifestKind::Hls)
            Timeline::SetLiveEndTime(Record, Stored->Now);
        return Record;
    }
    CHECK_CONDITION(Iterator != m_Assets.end(), FailureCode::AssetUnknown);
    m_Recent.splice(m_Recent.begin(), m_Recent, Iterator->second);
    return *Iterator->second;
}
} // namespace Application
