#pragma once

#include <cstdint>
#include <functional>
#include <map>

#include "http/QueryStringNameValue.h"
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
// reused. Records are never removed or moved, so references handed out stay
// valid for the life of the registry. Owned by the request loop; not locked.
class AssetRegistry
{
public:
    explicit AssetRegistry(DefaultVariantSets const& Defaults, AudioCodecsProbe Probe = {});

    // Takes the next number (even when the request then fails), parses the
    // query and registers the asset with its copy of the variant rows.
    Configuration& Create(ManifestKind Kind, HttpServer::QueryVector const& Query, std::int64_t BaseLiveTime, std::int64_t Now);
    // The asset named by "asset": 0x80FF0BFC when absent, 0x80FF0BFE when unknown.
    Configuration& Find(HttpServer::QueryVector const& Query);

    std::size_t Size() const noexcept { return m_Assets.size(); }

private:
    DefaultVariantSets const& m_Defaults;
    AudioCodecsProbe m_AudioCodecsProbe;
    std::map<std::uint32_t, Configuration> m_Assets;
    std::uint64_t m_NextAsset = 1;
};
} // namespace Application
