// SPDX-License-Identifier: GPL-2.0-or-later
// An asset made from a query, with every key the manifests read, and the
// keys later requests name it and its segments by. Bad values fail with a
// status (and leave the registry as it was); nothing else may happen.
#include "FuzzCheck.h"

#include "base/HResultError.h"
#include "presentation/AssetRegistry.h"
#include "presentation/FaultParser.h"
#include "presentation/OptionTable.h"
#include "presentation/QueryNumbers.h"
#include "presentation/SegmentIndex.h"
#include "presentation/Timeline.h"

namespace
{
// 2024-01-01 in 100-ns units since 1601, and a live time base before it.
constexpr std::int64_t Now = 133'485'408'000'000'000;
constexpr std::int64_t Base = Now - 100'000'000;
} // namespace

extern "C" int LLVMFuzzerTestOneInput(std::uint8_t const* Data, std::size_t Size)
{
    static Application::DefaultVariantSets const Defaults;
    // Few assets: the registry's bound is part of what runs.
    static Application::AssetRegistry Registry(Defaults, {}, 8);
    QueryVector Query;
    try
    {
        Query = ParseQueryString(Fuzz::Text(Data, Size));
    }
    catch(HResultError const&)
    {
        return 0;
    }
    for(auto const Kind : {Application::ManifestKind::Hls, Application::ManifestKind::Dash})
        Fuzz::Failing([&] {
            auto const& Asset = Registry.Create(Kind, Query, Base, Now);
            Fuzz::Expect(Asset.Key.empty() || Asset.Key.size() == 16, "a key is 16 bytes");
            Fuzz::Expect(!Asset.Duration || *Asset.Duration > 0, "a duration is positive");
            Fuzz::Expect(!Asset.Faults || (!Asset.Faults->GetRules().empty() && Asset.Faults->GetRules().size() <= Application::FaultParser::MaximalRuleCount),
                         "an asset keeps between 1 and 32 fault rules, or none");
            Fuzz::Expect(&Registry.Find(ParseQueryString("asset=" + std::to_string(Asset.Asset))) == &Asset, "the asset is found again");
        });
    Fuzz::Failing([&] {
        auto& Asset = Registry.Find(Query);
        Application::VideoVariant Variant;
        if(Asset.VariantSet.ParseVideoVariant(Query, Variant))
            Fuzz::Expect(Variant.Index < Asset.VariantSet.VideoVariants.size(), "a variant parsed is one of the asset's");
        for(auto const Track : {Application::SegmentTrack::Video, Application::SegmentTrack::Audio})
            Fuzz::Failing([&] {
                auto const Segment = Application::SegmentIndexFromQuery(Query, Asset, Track);
                Fuzz::Expect(!Segment || *Segment < Application::MaximalLiveSegmentCount, "a segment taken has a successor");
                if(Segment)
                    Application::ResponseFileSegmentNumber(Query, *Segment);
            });
    });
    Fuzz::Failing([&] { Application::PartNumberFromQuery(Query); });
    Fuzz::Failing([&] { Application::PeriodNumberFromQuery(Query); });
    // Every integer key the server reads, through its row of the option
    // table: refused or read, never a key without a row (E_UNEXPECTED).
    for(auto const& Option : Application::OptionTable::Options())
        if(Option.Kind == Application::OptionKind::Integer)
            Fuzz::Failing([&] {
                try
                {
                    Application::QueryInteger(Query, Option.Name);
                }
                catch(HResultError const& Error)
                {
                    Fuzz::Expect(Error.Code() == Option.Failure, "an integer is refused with its row's status");
                    throw;
                }
            });
    Fuzz::Failing([&] { Application::Configuration::ForAudioFile(Query, Defaults.H264.AudioVariants); });
    return 0;
}
