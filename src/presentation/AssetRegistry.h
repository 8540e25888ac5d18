// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <unordered_map>

#include "base/QueryStringNameValue.h"
#include "presentation/AssetStore.h"
#include "presentation/Configuration.h"
#include "presentation/DefaultVariantSets.h"

namespace Application
{
enum class ManifestKind
{
    Hls,  // "master.m3u8": honours "hvc1" and "flac"
    Dash, // "manifest.mpd": always H.264 and AAC
};

// Learns the codecs text of an asset's audio row by encoding a little of it;
// segment production provides it. Without one the row keeps the text it was
// copied with (empty after a switch to FLAC).
using AudioCodecsProbe = std::function<void(AudioVariant& Variant)>;

// The assets made by manifest requests, under numbers from 1 that are never
// reused. The registry keeps the most recently used MaximalAssetCount
// assets (made or found): a client that makes manifests without end cannot
// grow it. An asset that aged out answers as unknown (0x80FF0BFE). Records
// never move, so a reference handed out stays valid until its asset ages
// out, which takes that many manifests of others. Owned by the request
// loop; not locked.
//
// With a shared AssetStore, numbers come from the store and every asset
// made is saved there; an asset this instance has not seen (or that aged
// out) is loaded from the store and parsed again, to the same record.
class AssetRegistry
{
public:
    // About 600 bytes each: 60 MB at the most.
    static constexpr std::size_t MaximalAssetCount = 100'000;

    explicit AssetRegistry(DefaultVariantSets const& Defaults, AudioCodecsProbe Probe = {}, std::size_t MaximalAssets = MaximalAssetCount,
                           std::shared_ptr<AssetStore> Store = nullptr);

    // Takes the next number (even when the request then fails), parses the
    // query and registers the asset with its copy of the variant rows.
    Configuration& Create(ManifestKind Kind, QueryVector const& Query, std::int64_t BaseLiveTime, std::int64_t Now);
    // The asset named by "asset": 0x80FF0BFC when absent, 0x80FF0BFE when
    // unknown or aged out.
    Configuration& Find(QueryVector const& Query);

    std::size_t Size() const noexcept { return m_Assets.size(); }

private:
    // Parses and keeps an asset; the variant rows as its kind says.
    Configuration& Register(StoredAsset const& Value);

    DefaultVariantSets const& m_Defaults;
    std::shared_ptr<AssetStore> const m_Store;
    AudioCodecsProbe m_AudioCodecsProbe;
    std::size_t const m_MaximalAssets;
    // Most recently used first.
    std::list<Configuration> m_Recent;
    std::unordered_map<std::uint32_t, std::list<Configuration>::iterator> m_Assets;
    std::uint64_t m_NextAsset = 1;
};
} // namespace Application
