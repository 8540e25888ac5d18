// SPDX-License-Identifier: GPL-2.0-or-later
#include "presentation/RedisAssetStore.h"

#include <map>

#include "base/FailureCodes.h"
#include "presentation/AssetRegistry.h"
#include "presentation/TestSupport.h"
#include "presentation/Timeline.h"

using namespace Application;
using Application::Test::Query;
using Application::Test::RaisedStatus;

namespace
{
constexpr std::int64_t Now = Application::Test::January2024;
constexpr std::int64_t Base = Now - 100'000'000;

// The store's contract without a Redis server: what two registries share.
class MemoryAssetStore final : public AssetStore
{
public:
    std::uint32_t NextAssetNumber() override { return ++m_Next; }
    void Save(StoredAsset const& Value) override { m_Assets[Value.Asset] = Value; }
    std::optional<StoredAsset> Load(std::uint32_t Asset) override
    {
        auto const Found = m_Assets.find(Asset);
        return Found == m_Assets.end() ? std::nullopt : std::optional(Found->second);
    }
    std::int64_t SharedBaseLiveTime(std::int64_t Proposed) override { return m_Base.emplace(0, Proposed).first->second; }

private:
    std::uint32_t m_Next = 0;
    std::map<std::uint32_t, StoredAsset> m_Assets;
    std::map<int, std::int64_t> m_Base;
};
} // namespace

TEST(RedisAssetStore, AddressesNameAHostAndAPort)
{
    std::string Host;
    std::uint16_t Port = 0;
    ASSERT_TRUE(RedisAssetStore::ParseAddress("redis://127.0.0.1:6380", Host, Port));
    EXPECT_EQ(Host, "127.0.0.1");
    EXPECT_EQ(Port, 6380);
    ASSERT_TRUE(RedisAssetStore::ParseAddress("redis://cache.example/", Host, Port));
    EXPECT_EQ(Host, "cache.example");
    EXPECT_EQ(Port, 6379);
    ASSERT_TRUE(RedisAssetStore::ParseAddress("redis://[::1]:7000", Host, Port));
    EXPECT_EQ(Host, "::1");
    EXPECT_EQ(Port, 7000);
    for(std::string_view Address : {"", "http://a:1", "redis://", "redis://a:", "redis://a:0", "redis://a:65536", "redis://a:1x", "redis://a/b",
                                    "redis://user@a:1"})
        EXPECT_FALSE(RedisAssetStore::ParseAddress(Address, Host, Port)) << Address;
    EXPECT_EQ(RaisedStatus([] { RedisAssetStore Store("redis:/nowhere"); }), E_INVALIDARG);
}

TEST(RedisAssetStore, RegistriesSharingAStoreAnswerEveryAssetAlike)
{
    DefaultVariantSets const Defaults;
    auto const Store = std::make_shared<MemoryAssetStore>();
    AssetRegistry First(Defaults, {}, AssetRegistry::MaximalAssetCount, Store);
    AssetRegistry Second(Defaults, {}, AssetRegistry::MaximalAssetCount, Store);
    auto& Made = First.Create(ManifestKind::Hls, Query("live&duration=30&key=00112233445566778899AABBCCDDEEFF&scheme=cbcs&flac"), Base, Now);
    Timeline::SetLiveEndTime(Made, Now); // as the master playlist does
    EXPECT_EQ(Second.Create(ManifestKind::Dash, Query(""), Base, Now).Asset, 2u); // one counter
    auto const& Found = Second.Find(Query("asset=1"));
    EXPECT_EQ(Found.Asset, 1u);
    EXPECT_TRUE(Found.Live);
    EXPECT_EQ(Found.Duration, Made.Duration);
    EXPECT_EQ(Found.LiveEndTime, Made.LiveEndTime);
    EXPECT_TRUE(Found.LiveEndTime.has_value());
    EXPECT_EQ(Found.Key, Made.Key);
    EXPECT_EQ(Found.EncryptionScheme, EncryptionScheme::Cbcs);
    ASSERT_EQ(Found.VariantSet.AudioVariants.size(), 1u);
    EXPECT_EQ(Found.VariantSet.AudioVariants.front().Subtype, AudioSubtype::Flac);
    EXPECT_EQ(First.Find(Query("asset=2")).Asset, 2u);
    // A query that fails is never saved: the number is spent, nothing found.
    EXPECT_EQ(RaisedStatus([&] { First.Create(ManifestKind::Hls, Query("duration=0"), Base, Now); }), E_INVALIDARG);
    EXPECT_EQ(RaisedStatus([&] { Second.Find(Query("asset=3")); }), FailureCode::AssetUnknown);
    EXPECT_EQ(Store->SharedBaseLiveTime(5), Store->SharedBaseLiveTime(6));
}
