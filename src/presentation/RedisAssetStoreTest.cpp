// SPDX-License-Identifier: GPL-2.0-or-later
#include "presentation/RedisAssetStore.h"

#include <initializer_list>
#include <string>

#include "base/FailureCodes.h"
#include "presentation/AssetRegistry.h"
#include "presentation/HlsPlaylistWriter.h"
#include "presentation/TestSupport.h"
#include "presentation/Timeline.h"

using namespace Application;
using namespace Application::Test;

namespace
{
// What an instance answers of an asset: its playlists, key and fault rules.
std::string Answers(Configuration& Asset)
{
    std::string Text = HlsPlaylistWriter::Master(Asset, Now) + HlsPlaylistWriter::Audio(Asset, Asset.VariantSet.AudioVariants.front(), Now);
    for(auto const& Variant : Asset.VariantSet.VideoVariants)
        Text += HlsPlaylistWriter::Video(Asset, Variant, 0, Now);
    Text += std::string(Asset.Key.begin(), Asset.Key.end()) + Asset.KeyFormat;
    if(Asset.Faults)
        for(auto const& Rule : Asset.Faults->GetRules())
            Text += Rule.Text;
    return Text;
}
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

TEST(RedisAssetStore, WhatIsStoredOfAnAssetIsWhatItsParseReadAndParsesAgainAlike)
{
    DefaultVariantSets const Defaults;
    AssetRegistry Maker(Defaults);
    AssetRegistry Loader(Defaults);
    struct Case
    {
        char const* Query;
        char const* Stored; // the pairs kept, in their order
    };
    for(auto const& [Text, Kept] : std::initializer_list<Case>{
            {"junk=1&duration=30&duration=60&Duration=5&x", "duration=30"},
            // With "ls", "now" changes nothing: the clock reading is stored beside the query.
            {"live&lv=60&pdt=2&ls=30&now=1&key=00112233445566778899AABBCCDDEEFF&scheme=cbcs&keyformat=k&initializationvector=0102030405060708090A0B0C0D0E0F10",
             "live=&lv=60&pdt=2&ls=30&key=00112233445566778899AABBCCDDEEFF&scheme=cbcs&keyformat=k&initializationvector=0102030405060708090A0B0C0D0E0F10"},
            // Without "live" the live keys, and without "key" the key's companions, change nothing.
            {"lv=60&scheme=cbcs&hvc1&flac&noaudio&framecode", "hvc1=&flac=&noaudio=&framecode="},
            // Every pair of a fault key counts; of the other keys the first only.
            {"fail=404@video:5&atd=2&fail=503@audio:1&atd=3&delay=800@any:*&ll&part=1&cp", "fail=404@video:5&atd=2&fail=503@audio:1&delay=800@any:*&ll=&part=1&cp="},
        })
    {
        auto Made = Maker.Parse(ManifestKind::Hls, Query(Text), Base, Now);
        std::string Pairs;
        for(auto const& Pair : Made.Stored.Query)
            Pairs += (Pairs.empty() ? "" : "&") + Pair.Name + "=" + Pair.Value;
        EXPECT_EQ(Pairs, Kept) << Text;
        auto Stored = Made.Stored;
        Made.Asset.Asset = Stored.Asset = static_cast<std::uint32_t>(Maker.Size() + 1);
        auto& Original = Maker.Keep(std::move(Made.Asset));
        auto& Copy = Loader.Adopt(Stored);
        EXPECT_EQ(&Loader.Adopt(Stored), &Copy); // loaded once
        EXPECT_EQ(Answers(Copy), Answers(Original)) << Text;
    }
}
