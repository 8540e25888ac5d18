// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <optional>

#include "base/QueryStringNameValue.h"

namespace Application
{
enum class ManifestKind;

// What makes an asset, kept where every instance of the server finds it:
// the manifest's kind and query and the two times it was parsed with. An
// instance that has not seen the asset parses it again from these and gets
// the same record, so every instance answers every asset alike.
struct StoredAsset
{
    std::uint32_t Asset = 0;
    ManifestKind Kind{};
    QueryVector Query;
    std::int64_t BaseLiveTime = 0;
    std::int64_t Now = 0;
};

// A store of assets shared by several instances (RedisAssetStore). Without
// one the registry keeps its assets in memory alone.
class AssetStore
{
public:
    virtual ~AssetStore() = default;
    // The next asset number, from one counter for all instances.
    virtual std::uint32_t NextAssetNumber() = 0;
    virtual void Save(StoredAsset const& Value) = 0;
    // The asset of that number, or nothing when no instance made it.
    virtual std::optional<StoredAsset> Load(std::uint32_t Asset) = 0;
    // The live time base all instances share: the first instance's
    // Proposed value, kept from then on.
    virtual std::int64_t SharedBaseLiveTime(std::int64_t Proposed) = 0;
};
} // namespace Application
