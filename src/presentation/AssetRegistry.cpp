// SPDX-License-Identifier: GPL-2.0-or-later
#include "presentation/AssetRegistry.h"

#include <algorithm>
#include <limits>

#include "base/Check.h"
#include "base/FailureCodes.h"
#include "presentation/QueryNumbers.h"

namespace Application
{
AssetRegistry::AssetRegistry(DefaultVariantSets const& Defaults, AudioCodecsProbe Probe, std::size_t MaximalAssets) :
    m_Defaults(Defaults), m_AudioCodecsProbe(std::move(Probe)), m_MaximalAssets(std::max<std::size_t>(MaximalAssets, 1))
{
}

Configuration& AssetRegistry::Create(ManifestKind Kind, HttpServer::QueryVector const& Query, std::int64_t BaseLiveTime, std::int64_t Now)
{
    // Numbers are never reused: once all are taken, manifests fail.
    CHECK_LINE(m_NextAsset <= std::numeric_limits<std::uint32_t>::max());
    auto const Asset = static_cast<std::uint32_t>(m_NextAsset++);
    Configuration Parsed(Asset, BaseLiveTime, Query, Now);
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

Configuration& AssetRegistry::Find(HttpServer::QueryVector const& Query)
{
    auto const Asset = QueryInteger(Query, "asset");
    CHECK_CONDITION(Asset.has_value(), FailureCode::AssetMissing);
    auto const Iterator = m_Assets.find(static_cast<std::uint32_t>(*Asset));
    CHECK_CONDITION(Iterator != m_Assets.end(), FailureCode::AssetUnknown);
    m_Recent.splice(m_Recent.begin(), m_Recent, Iterator->second);
    return *Iterator->second;
}
} // namespace Application
