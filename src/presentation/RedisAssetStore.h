// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "presentation/AssetStore.h"

struct redisContext;
struct redisReply;

namespace Application
{
// The asset store in Redis (hiredis), named "redis://host[:port]" (port
// 6379 by default). Keys (one Redis, no cluster: the scripts name asset
// keys they compute):
//   "quorvel:generation"      "<random id> <milliseconds of Redis's clock when made>"
//   "quorvel:next-asset"      the last number handed out
//   "quorvel:asset:<n>"       a hash: kind, base, now, count, the query's
//                             names n0.. and values v0..; expires after
//                             Lifetime unused
//   "quorvel:base-live-time"  the live time base all instances share
//
// Numbers are never handed out twice, even by a Redis that restarted empty.
// A Redis that forgot its keys is told apart by its generation: a random
// identifier made, once, by the first instance that finds none, together
// with the moment it was made. Every instance keeps the highest number it
// has made or loaded and, every CheckInterval, raises the counter to it and
// puts back the live time base (one script, atomic). A new generation hands
// out no number for SettleTime, long enough for every instance that reaches
// Redis to have checked once: so the counter is above every number an
// instance still answers before the first new one is given. An instance
// that finds a generation older than that (it could not reach Redis all
// along) may hold numbers given again meanwhile: Check names them, and they
// are dropped from memory, to be loaded again, as their number now means.
//
// Each asset key expires after Lifetime (refreshed on load and by Refresh),
// and making asset n deletes asset n - MaximalStoredAssetCount: the store
// holds at most that many assets made since its counter last jumped, plus
// older ones until they expire. Only the query pairs the parse read are
// kept (QueryReads), so an asset's size is bounded by the request's.
//
// Commands wait until the call's deadline at the most (connection included);
// a broken or late connection is closed and opened again by the next
// command. Failures raise FailureCode::AssetStoreUnavailable with the
// store's address and Redis's text.
class RedisAssetStore final : public AssetStore
{
public:
    // Every instance checks (and so raises the counter) within
    // CheckInterval, its check waiting at most for the calls queued before
    // it and for itself.
    static constexpr std::chrono::milliseconds SettleTime = 2 * (CheckInterval + CallTime);
    // Assets kept at once, by number: ten times what one instance keeps in
    // memory (AssetRegistry::MaximalAssetCount).
    static constexpr std::uint32_t MaximalStoredAssetCount = 1'000'000;

    // Parses the address (E_INVALIDARG when it is not "redis://host[:port]")
    // and connects.
    explicit RedisAssetStore(std::string Address);
    ~RedisAssetStore() override;

    // At start-up, before serving: joins the store's generation (waiting
    // while a new one settles) and returns the shared live time base: the
    // first instance's Proposed value, kept from then on.
    std::int64_t Join(std::int64_t Proposed);

    std::uint32_t Add(StoredAsset const& Value, Deadline Until) override;
    std::optional<StoredAsset> Load(std::uint32_t Asset, Deadline Until) override;
    void Refresh(std::uint32_t Asset, Deadline Until) override;
    std::uint32_t Check(Deadline Until) override;

    // "redis://host:port" into host and port; false when malformed.
    static bool ParseAddress(std::string_view Address, std::string& Host, std::uint16_t& Port);

private:
    struct ReplyDeleter
    {
        void operator()(redisReply* Reply) const noexcept;
    };
    using Reply = std::unique_ptr<redisReply, ReplyDeleter>;

    // What one check found.
    struct Generation
    {
        std::int64_t SettlingMilliseconds = 0;
        std::string BaseLiveTime;
    };

    // Runs the check script: adopts the store's generation, raises its
    // counter and, when Base is not empty, puts back the live time base.
    Generation Synchronise(std::string const& Base, Deadline Until);
    void Connect(Deadline Until);
    void Disconnect() noexcept;
    // One command, binary safe; raises on a connection or Redis error and
    // at the deadline.
    Reply Command(std::vector<std::string> const& Arguments, Deadline Until);
    [[noreturn]] void Fail(std::string const& What) const;

    std::string const m_Address;
    std::string m_Host;
    std::uint16_t m_Port = 6379;
    std::mutex m_Mutex;
    redisContext* m_Context = nullptr;
    // The generation this instance's numbers belong to; empty before Join.
    std::string m_Generation;
    // The highest number this instance made or loaded.
    std::uint32_t m_Highest = 0;
    // What Check returns next (see AssetStore::Check).
    std::uint32_t m_Suspect = 0;
    // The shared live time base, as Redis keeps it; empty before Join.
    std::string m_BaseLiveTime;
};
} // namespace Application
