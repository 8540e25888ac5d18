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
// 6379 by default). Keys: "quorvel:next-asset" (the counter),
// "quorvel:asset:<n>" (a hash: kind, base, now, count, then the query's
// names n0.. and values v0..), "quorvel:base-live-time". Commands wait at
// most CommandTime; a broken connection is opened again on the next
// command. Failures raise with the store's address and Redis's text.
class RedisAssetStore final : public AssetStore
{
public:
    static constexpr std::chrono::milliseconds CommandTime{2000};

    // Parses the address (E_INVALIDARG when it is not "redis://host[:port]")
    // and connects.
    explicit RedisAssetStore(std::string Address);
    ~RedisAssetStore() override;

    std::uint32_t NextAssetNumber() override;
    void Save(StoredAsset const& Value) override;
    std::optional<StoredAsset> Load(std::uint32_t Asset) override;
    std::int64_t SharedBaseLiveTime(std::int64_t Proposed) override;

    // "redis://host:port" into host and port; false when malformed.
    static bool ParseAddress(std::string_view Address, std::string& Host, std::uint16_t& Port);

private:
    struct ReplyDeleter
    {
        void operator()(redisReply* Reply) const noexcept;
    };
    using Reply = std::unique_ptr<redisReply, ReplyDeleter>;

    void Connect();
    void Disconnect() noexcept;
    // One command, binary safe; raises on a connection or Redis error.
    Reply Command(std::vector<std::string> const& Arguments);
    [[noreturn]] void Fail(std::string const& What) const;

    std::string const m_Address;
    std::string m_Host;
    std::uint16_t m_Port = 6379;
    std::mutex m_Mutex;
    redisContext* m_Context = nullptr;
};
} // namespace Application
