// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <chrono>
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
    Dash, // "manifest.mpd": H.264 or AV1, the audio of "audio" (AAC without)
};

// Learns the codecs text of an asset's audio rows by encoding a little of each;
// segment production provides it. Without one the row keeps the text it was
// copied with (empty after a switch to FLAC).
using AudioCodecsProbe = std::function<void(AudioVariant& Variant)>;

// The assets made by manifest requests, under numbers from 1 that are never
// reused. The registry keeps the most recently used MaximalAssetCount
// assets (made or found): a client that makes manifests without end cannot
// grow it. An asset that aged out answers as unknown (0x80FF0BFE). Records
// never move, so a reference handed out stays valid until its asset ages
// out, which takes that many manifests of others, or is forgotten (Forget,
// between requests). Owned by the request loop; not locked.
//
// With a shared AssetStore the registry never calls the store itself: the
// request loop parses (Parse), asks the store on its thread for a number or
// for an asset this instance does not hold, and keeps what it answered
// (Keep, Adopt).
class AssetRegistry
{
public:
    // About 600 bytes each: 60 MB at the most.
    static constexpr std::size_t MaximalAssetCount = 100'000;

    // An asset parsed from a manifest request, before it has a number, and
    // what a store keeps of it.
    struct Parsed
    {
        Configuration Asset;
        StoredAsset Stored;
    };

    explicit AssetRegistry(DefaultVariantSets const& Defaults, AudioCodecsProbe Probe = {}, std::size_t MaximalAssets = MaximalAssetCount);

    // Without a store: takes the next number (even when the request then
    // fails), parses the query and keeps the asset.
    Configuration& Create(ManifestKind Kind, QueryVector const& Query, std::int64_t BaseLiveTime, std::int64_t Now);
    // Parses the query of a manifest request (raising for a bad one) into an
    // asset numbered 0 with its copy of the variant rows, and what a store
    // keeps of it: the query pairs the parse read (QueryReads), no others.
    Parsed Parse(ManifestKind Kind, QueryVector const& Query, std::int64_t BaseLiveTime, std::int64_t Now);
    // Keeps an asset under its number, in place of any asset kept under it.
    Configuration& Keep(Configuration Asset);
    // An asset from the store: the record of its number when the registry
    // holds one (another request loaded it meanwhile), else the asset parsed
    // again, as its master playlist left it, and kept.
    Configuration& Adopt(StoredAsset const& Stored);

    // The number named by "asset"; 0x80FF0BFC when absent.
    static std::uint32_t AssetNumber(QueryVector const& Query);
    // The asset of that number, now the most recently used, or null.
    Configuration* Held(std::uint32_t Asset);
    // The asset named by "asset": 0x80FF0BFC when absent, 0x80FF0BFE when
    // unknown or aged out.
    Configuration& Find(QueryVector const& Query);
    // Drops the assets numbered up to Highest: a store that forgot them
    // may have given their numbers to other assets.
    void Forget(std::uint32_t Highest);
    // Whether to start the asset's lifetime in the store again: at most once
    // per AssetStore::RefreshInterval, counted from when it was kept here.
    bool RefreshDue(std::uint32_t Asset, std::chrono::steady_clock::time_point Now);

    std::size_t Size() const noexcept { return m_Assets.size(); }

    // A DASH document of an asset that changes mid-stream lists at most
    // this many periods.
    static constexpr std::size_t MaximalChangePeriods = 1'000;

private:
    // Snaps the changes to the asset's grid and refuses what a manifest
    // of the kind cannot show.
    void SettleChanges(Configuration& Record, bool Hls) const;
    // "lang" and "describes": the rows "audio" made as language renditions.
    static void AddLanguages(QueryReads& Reads, std::vector<AudioVariant>& AudioVariants);

    struct Entry
    {
        std::list<Configuration>::iterator Record;
        std::chrono::steady_clock::time_point Refreshed;
    };

    DefaultVariantSets const& m_Defaults;
    AudioCodecsProbe m_AudioCodecsProbe;
    std::size_t const m_MaximalAssets;
    // Most recently used first.
    std::list<Configuration> m_Recent;
    std::unordered_map<std::uint32_t, Entry> m_Assets;
    std::uint64_t m_NextAsset = 1;
};
} // namespace Application
