// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/production/SegmentCache.h"
#include "app/production/SegmentKey.h"

#include <gtest/gtest.h>

#include <set>

using namespace Application;

namespace
{
using Counter = ServerMetrics::Counter;
using Gauge = ServerMetrics::Gauge;

SharedMediaBody Bytes(std::size_t Size, std::uint8_t Value = 1)
{
    return std::make_shared<MediaBody const>(std::vector<SharedBytes>{std::make_shared<std::vector<std::uint8_t> const>(Size, Value)});
}

// What one entry of Size bytes under a one-character key costs.
std::uint64_t EntryCost(std::size_t Size)
{
    auto const Metrics = std::make_shared<ServerMetrics>();
    SegmentCache Probe(~std::uint64_t{0} >> 1, Metrics);
    Probe.Insert("k", Bytes(Size));
    return static_cast<std::uint64_t>(Metrics->Get(Gauge::CacheBytes));
}
} // namespace

TEST(SegmentCache, LeastRecentlyUsedGoFirstAndTheLimitHolds)
{
    std::uint64_t const Cost = EntryCost(1000);
    auto const Metrics = std::make_shared<ServerMetrics>();
    SegmentCache Cache(3 * Cost, Metrics);
    Cache.Insert("a", Bytes(1000, 'a'));
    Cache.Insert("b", Bytes(1000, 'b'));
    Cache.Insert("c", Bytes(1000, 'c'));
    ASSERT_TRUE(Cache.Find("a")); // a is now the most recent: b is the oldest
    Cache.Insert("d", Bytes(1000, 'd'));
    EXPECT_FALSE(Cache.Find("b"));
    ASSERT_TRUE(Cache.Find("a"));
    EXPECT_EQ(Cache.Find("a")->GetFragments().front()->front(), 'a');
    EXPECT_TRUE(Cache.Find("c"));
    EXPECT_TRUE(Cache.Find("d"));
    EXPECT_EQ(Metrics->Get(Gauge::CacheEntries), 3);
    EXPECT_EQ(Metrics->Get(Counter::CacheEvictions), 1u);
    EXPECT_EQ(Metrics->Get(Counter::CacheInsertions), 4u);
    EXPECT_EQ(Metrics->Get(Counter::CacheMisses), 1u);
    EXPECT_EQ(Metrics->Get(Counter::CacheHits), 5u);
    EXPECT_LE(static_cast<std::uint64_t>(Metrics->Get(Gauge::CacheBytes)), 3 * Cost);
}

TEST(SegmentCache, ABodyLargerThanTheLimitIsNotKeptAndAReplacedOneCountsOnce)
{
    auto const Metrics = std::make_shared<ServerMetrics>();
    SegmentCache Small(EntryCost(100), Metrics);
    Small.Insert("s", Bytes(100));
    Small.Insert("l", Bytes(101));
    EXPECT_TRUE(Small.Find("s")); // not evicted for nothing
    EXPECT_FALSE(Small.Find("l"));
    Small.Insert("s", Bytes(50));
    EXPECT_EQ(static_cast<std::uint64_t>(Metrics->Get(Gauge::CacheBytes)), EntryCost(50));
    EXPECT_EQ(Metrics->Get(Gauge::CacheEntries), 1);
    EXPECT_EQ(Small.Find("s")->GetSize(), 50u);
}

TEST(SegmentKey, KeysFollowWhatShapesTheBytesNotTheAssetNumber)
{
    Configuration First;
    First.Asset = 1;
    Configuration Second = First;
    Second.Asset = 2;
    VideoVariant Variant;
    Variant.FrameSizeW = 1280;
    auto const Key = [&](Configuration const& Asset, std::optional<std::uint32_t> FrameCode = std::nullopt) {
        return SegmentKey::VideoBody(Variant, 3, std::nullopt, std::nullopt, FrameCode, Asset);
    };
    EXPECT_EQ(Key(First).Text(), Key(Second).Text());
    EXPECT_EQ(Key(First).EntityTag(), Key(Second).EntityTag());
    EXPECT_NE(Key(First, 1).Text(), Key(Second, 2).Text()); // the frame code shows the asset
    EXPECT_NE(SegmentKey::VideoBody(Variant, 4, std::nullopt, std::nullopt, std::nullopt, First).Text(), Key(First).Text());
    EXPECT_NE(SegmentKey::VideoBody(Variant, 3, 0x8B0000, std::nullopt, std::nullopt, First).Text(), Key(First).Text());
    EXPECT_NE(SegmentKey::VideoBody(Variant, 3, std::nullopt, 1234, std::nullopt, First).Text(), Key(First).Text());
    Configuration Encrypted = First;
    Encrypted.Key.assign(16, 0x11);
    Encrypted.InitializationVector.assign(16, 0x22);
    EXPECT_NE(Key(Encrypted).Text(), Key(First).Text());
    Configuration OtherIv = Encrypted;
    OtherIv.InitializationVector.assign(16, 0x23);
    EXPECT_NE(Key(Encrypted).Text(), Key(OtherIv).Text());
    AudioVariant Audio;
    EXPECT_NE(SegmentKey::AudioBody(Audio, 3, false, First).Text(), SegmentKey::AudioBody(Audio, 3, true, First).Text());
}

TEST(SegmentKey, BreaksAndAdsAreNamedOnlyWhereTheyApply)
{
    Configuration Asset;
    auto const Video = [&] { return SegmentKey::VideoBody(VideoVariant{}, 3, std::nullopt, std::nullopt, std::nullopt, Asset); };
    auto const Audio = [&] { return SegmentKey::AudioBody(AudioVariant{}, 3, false, Asset); };
    std::vector<BreakNotice> const Notices{{1, 60'000'000, 100'000'000}}, Longer{{1, 60'000'000, 100'000'001}};
    EXPECT_EQ(Video().AddBreakNotices({}).Text(), Video().Text());
    std::set<std::string> const Texts{Video().Text(),          Video().AddBreakNotices(Notices).Text(), Video().AddBreakNotices(Longer).Text(),
                                      Video().AddAdvert(1, 2).Text(), Video().AddAdvert(1, 3).Text(),   Audio().Text(),
                                      Audio().AddAdvertTone(1).Text(), Audio().AddAdvertTone(2).Text()};
    EXPECT_EQ(Texts.size(), 8u);
}

TEST(SegmentCache, ReadAheadIsUsedOnceFoundAndWastedWhenDroppedUnfound)
{
    std::uint64_t const Cost = EntryCost(1000);
    auto const Metrics = std::make_shared<ServerMetrics>();
    SegmentCache Cache(8 * Cost, Metrics);
    Cache.Insert("ahead-found", Bytes(1000), true);
    EXPECT_TRUE(Cache.HasAheadRoom()); // an eighth
    Cache.Insert("ahead-lost", Bytes(1000), true);
    EXPECT_FALSE(Cache.HasAheadRoom()); // a quarter of the cache is nobody's yet
    EXPECT_TRUE(Cache.Holds("ahead-found"));
    EXPECT_EQ(Metrics->Get(Counter::CacheHits), 0u);
    ASSERT_TRUE(Cache.Find("ahead-found"));
    ASSERT_TRUE(Cache.Find("ahead-found")); // used once, however often found
    EXPECT_EQ(Metrics->Get(Counter::ReadAheadUsed), 1u);
    for(char const* Key : {"a", "b", "c", "d", "e", "f", "g"})
        Cache.Insert(Key, Bytes(1000));
    EXPECT_FALSE(Cache.Holds("ahead-lost"));
    EXPECT_EQ(Metrics->Get(Counter::ReadAheadWasted), 1u); // found one evicted later is not waste
    EXPECT_TRUE(Cache.HasAheadRoom());
}
