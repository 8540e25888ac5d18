// SPDX-License-Identifier: GPL-2.0-or-later
#include "presentation/AssetRegistry.h"

#include "base/FailureCodes.h"
#include "presentation/TestSupport.h"

using namespace Application;
using Application::Test::Query;
using Application::Test::RaisedStatus;

namespace
{
constexpr std::int64_t Now = Application::Test::January2024;
constexpr std::int64_t Base = Now - 100'000'000;
} // namespace

TEST(AssetRegistry, KeepsTheMostRecentlyUsedAssetsUpToItsLimit)
{
    DefaultVariantSets const Defaults;
    AssetRegistry Registry(Defaults, {}, 3);
    for(int Index = 0; Index < 3; ++Index)
        Registry.Create(ManifestKind::Hls, Query(""), Base, Now);
    auto& First = Registry.Find(Query("asset=1")); // used again: now the most recent
    Registry.Create(ManifestKind::Dash, Query(""), Base, Now);
    EXPECT_EQ(Registry.Size(), 3u);
    EXPECT_EQ(RaisedStatus([&] { Registry.Find(Query("asset=2")); }), FailureCode::AssetUnknown);
    EXPECT_EQ(&Registry.Find(Query("asset=1")), &First);
    EXPECT_EQ(Registry.Find(Query("asset=4")).Asset, 4u);
    // Numbers go on from where they were, never back to an aged-out one.
    for(int Index = 0; Index < 10; ++Index)
        Registry.Create(ManifestKind::Hls, Query(""), Base, Now);
    EXPECT_EQ(Registry.Size(), 3u);
    EXPECT_EQ(Registry.Find(Query("asset=14")).Asset, 14u);
    EXPECT_EQ(RaisedStatus([&] { Registry.Find(Query("asset=1")); }), FailureCode::AssetUnknown);
    EXPECT_EQ(RaisedStatus([&] { Registry.Find(Query("asset=11")); }), FailureCode::AssetUnknown);
    // Numbers a store may have given again are dropped, the later ones kept.
    Registry.Forget(13);
    EXPECT_EQ(Registry.Size(), 1u);
    EXPECT_EQ(RaisedStatus([&] { Registry.Find(Query("asset=13")); }), FailureCode::AssetUnknown);
    EXPECT_EQ(Registry.Find(Query("asset=14")).Asset, 14u);
}
