// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>

#include "base/QueryStringNameValue.h"

namespace Application
{
enum class ManifestKind;

// What makes an asset, kept where every instance of the server finds it:
// the manifest's kind, the query pairs its parse read (QueryReads) and the
// two times it was parsed with. An instance that has not seen the asset
// parses it again from these and gets the same record, so every instance
// answers every asset alike.
struct StoredAsset
{
    std::uint32_t Asset = 0;
    ManifestKind Kind{};
    QueryVector Query;
    std::int64_t BaseLiveTime = 0;
    std::int64_t Now = 0;
};

// A store of assets shared by several instances (RedisAssetStore). Without
// one the registry keeps its assets in memory alone. Its calls block: they
// run on the store thread (AssetStoreThread), never on the request loop,
// and each gives up at its deadline. A store that fails, or does not answer
// by the deadline, raises FailureCode::AssetStoreUnavailable.
class AssetStore
{
public:
    using Deadline = std::chrono::steady_clock::time_point;

    // A call, from the request that needs it to the store's answer, takes
    // at most this; then the request is answered 503.
    static constexpr std::chrono::milliseconds CallTime{2000};
    // What a 503 of the store tells the client to wait ("Retry-After").
    static constexpr std::chrono::seconds RetryAfter{2};
    // Every instance checks the store this often (Check).
    static constexpr std::chrono::milliseconds CheckInterval{1000};
    // An asset nobody used for this long leaves the store.
    static constexpr std::chrono::hours Lifetime{24};
    // An instance that serves an asset starts its lifetime again at most
    // this often (and whenever it loads it), not on every request.
    static constexpr std::chrono::hours RefreshInterval{1};

    virtual ~AssetStore() = default;
    // Gives the asset the next number (Value.Asset is not read) and saves
    // it; the number.
    virtual std::uint32_t Add(StoredAsset const& Value, Deadline Until) = 0;
    // The asset of that number, or nothing when the store does not hold it;
    // its lifetime starts again.
    virtual std::optional<StoredAsset> Load(std::uint32_t Asset, Deadline Until) = 0;
    // Starts the asset's lifetime again.
    virtual void Refresh(std::uint32_t Asset, Deadline Until) = 0;
    // Every CheckInterval: tells the store what this instance holds, so that
    // a store that forgot its assets never hands out their numbers again.
    // Returns 0, or the highest number of this instance's assets that the
    // store may have handed out again to another asset: those must no
    // longer be answered from memory.
    virtual std::uint32_t Check(Deadline Until) = 0;
};
} // namespace Application
