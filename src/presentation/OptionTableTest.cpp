// SPDX-License-Identifier: GPL-2.0-or-later
#include "presentation/OptionTable.h"

#include <algorithm>
#include <fstream>
#include <functional>
#include <sstream>

#include "base/FailureCodes.h"
#include "presentation/AssetRegistry.h"
#include "presentation/DeliveryDirectives.h"
#include "presentation/QueryNumbers.h"
#include "presentation/SegmentIndex.h"
#include "presentation/TestSupport.h"

using namespace Application;
using namespace Application::Test;

namespace
{
std::string Quoted(std::string_view Text)
{
    return "`" + std::string(Text) + "`";
}

// One line of the README's table of options, as the table says it.
std::string ReadmeRow(QueryOption const& Option)
{
    std::string Name = Quoted(Option.Name);
    if(!Option.Alias.empty())
        Name += " (or " + Quoted(Option.Alias) + ")";
    std::string Takes = Option.Expected();
    if(Option.Kind == OptionKind::Flag)
        Takes = "present or not";
    else if(Option.Kind == OptionKind::Text)
        Takes = "text, e.g. " + Quoted(Option.Example);
    std::string Routes;
    for(auto Route : Option.Routes)
        (Routes += Routes.empty() ? "" : ", ") += Quoted(Route);
    return "| " + Name + " | " + Takes + " | " + std::string(Option.Default) + " | " + Routes + " | " + std::string(Option.Help) + " |\n";
}

std::string ReadmeTable()
{
    std::string Text = "| Option | Takes | Default | Routes | Meaning |\n|---|---|---|---|---|\n";
    for(auto const& Option : OptionTable::Options())
        Text += ReadmeRow(Option);
    return Text;
}

std::string ReadFile(char const* Path)
{
    std::ifstream Stream(Path);
    std::stringstream Text;
    Text << Stream.rdbuf();
    return Text.str();
}

// A value each row takes: the manifest is made with all of them at once.
std::string GoodValue(QueryOption const& Option)
{
    switch(Option.Kind)
    {
    case OptionKind::Integer:
    case OptionKind::Time:
        return QueryOption::FormatNumber(std::max(Option.Minimum.value_or(0), 0.0));
    case OptionKind::Hex:
        return std::string(Option.Bytes * 2, '0');
    case OptionKind::Choice:
        return std::string(Option.Choices.front());
    case OptionKind::Text:
    {
        // As a URL carries it: "%" is "%25".
        std::string Text;
        for(char Character : Option.Example)
            Text += Character == '%' ? std::string("%25") : std::string(1, Character);
        return Text;
    }
    case OptionKind::Flag:
        break;
    }
    return {};
}
} // namespace

TEST(OptionTable, TheReadmeDocumentsEveryOptionAsTheTableSaysIt)
{
    std::string const Readme = ReadFile(QUORVEL_README);
    ASSERT_NE(Readme.find("\n## Options\n"), std::string::npos);
    // The block between the header and the first line that is no table row.
    std::size_t const Start = Readme.find("| Option | Takes |");
    ASSERT_NE(Start, std::string::npos);
    std::size_t End = Start;
    while(End < Readme.size() && Readme[End] == '|')
        End = Readme.find('\n', End) + 1;
    EXPECT_EQ(Readme.substr(Start, End - Start), ReadmeTable()) << "README.md's table of options, as OptionTable has it:\n" << ReadmeTable();
}

TEST(OptionTable, EveryRowIsWholeAndNamesAGroup)
{
    for(auto const& Option : OptionTable::Options())
    {
        EXPECT_TRUE(std::any_of(OptionTable::Groups().begin(), OptionTable::Groups().end(), [&](auto const& Group) { return Group.Id == Option.Group; }))
            << Option.Name;
        EXPECT_FALSE(Option.Routes.empty() || Option.Help.empty()) << Option.Name;
        EXPECT_EQ(Option.Choices.empty(), Option.Kind != OptionKind::Choice) << Option.Name;
        EXPECT_EQ(Option.Example.empty(), Option.Kind != OptionKind::Text) << Option.Name;
        // Two rows of one name must be told apart by their kind, or by one
        // being kept with an asset and the other naming a thing after it.
        EXPECT_NO_THROW(Option.Group == "addressing" ? OptionTable::Addressing(Option.Name, Option.Kind) : OptionTable::Kept(Option.Name, Option.Kind))
            << Option.Name;
    }
    // The home page draws a fieldset a group, in the table's order: a group's rows are together.
    std::vector<std::string_view> Seen;
    for(auto const& Option : OptionTable::Options())
        if(Seen.empty() || Seen.back() != Option.Group)
        {
            EXPECT_EQ(std::find(Seen.begin(), Seen.end(), Option.Group), Seen.end()) << Option.Name << " is apart from the rest of " << Option.Group;
            Seen.push_back(Option.Group);
        }
}

TEST(OptionTable, AKeyReadWithoutARowIsAnErrorOfTheProgram)
{
    auto const Plain = Query("nosuchkey=1&part=1");
    QueryReads Reads(Plain);
    for(auto const& Read : std::vector<std::function<void()>>{
            [&] { Reads.Flag("nosuchkey"); },
            [&] { QueryInteger(Plain, "nosuchkey"); },
            [&] { QueryTime(Plain, "duration"); }, // a row of another kind
            [&] { FindOption(Plain, "part"); },    // two rows: a part's length and a part's number
        })
    {
        auto const [Status, Message] = Raised(Read);
        EXPECT_EQ(Status, E_UNEXPECTED) << Message;
        EXPECT_NE(Message.find("option table"), std::string::npos) << Message;
    }
}

TEST(OptionTable, BadValuesAreRefusedNamingTheOptionAndWhatItTakes)
{
    static DefaultVariantSets const Defaults;
    auto const Manifest = [](std::string Text) { return [Text] { Configuration(1, Base, Query(Text), Now); }; };
    auto const Key = std::string(32, 'a');
    struct Row
    {
        std::function<void()> Parse;
        HRESULT Status;
        std::string Message;
    };
    for(auto const& [Parse, Status, Message] : std::vector<Row>{
            {Manifest("duration=0"), E_INVALIDARG, R"(Invalid "duration" "0": a whole number from 1 to 86400)"},
            {Manifest("live&ll&part=0.05"), E_INVALIDARG, R"(Invalid "part" "0.05": a time in seconds from 0.1 to 10)"},
            {Manifest("live&lv=86401"), E_INVALIDARG, R"(Invalid "lv" "86401": a time in seconds from 0 to 86400)"},
            {Manifest("vtd=0"), E_INVALIDARG, R"(Invalid "vtd" "0": a time in seconds from 0.0000001 to 1000000000)"},
            {Manifest("key=" + Key + "&scheme=CENC"), E_INVALIDARG, R"(Invalid "scheme" "CENC": one of cenc, cbcs)"},
            {Manifest("key=" + Key.substr(1)), FailureCode::Base16OddLength, R"(": 32 hexadecimal digits)"},
            {Manifest("key=" + Key + "&initializationvector=0G" + Key.substr(2)), FailureCode::Base16NotHexadecimal,
             R"(Invalid "initializationvector" "0Gaa)"},
            {[] { DeliveryDirectives::FromQuery(Query("_HLS_skip=NO")); }, FailureCode::DeliveryDirectiveInvalid, R"(Invalid "_HLS_skip" "NO": one of YES, v2)"},
            {[] { DeliveryDirectives::FromQuery(Query("_HLS_msn=4294967296")); }, FailureCode::DeliveryDirectiveInvalid,
             R"(Invalid "_HLS_msn" "4294967296": decimal digits from 0 to 4294967295)"},
            {[] { PartNumberFromQuery(Query("part=1e0")); }, FailureCode::PartInvalid, R"(Invalid "part" "1e0": decimal digits from 0 to 2147483647)"},
            {[] { ExtraVideoSegmentsFromQuery(Query("extra-video-segments=-1")); }, FailureCode::SegmentNumberMalformed,
             R"(Invalid "extra-video-segments" "-1": decimal digits from 0 to 100000)"},
            {[] {
                 VideoVariant Variant;
                 Defaults.H264.ParseVideoVariant(Query("variant=first"), Variant);
             },
             E_INVALIDARG, R"(Invalid "variant" "first": a whole number)"},
        })
    {
        auto const [Got, Text] = Raised(Parse);
        EXPECT_EQ(Got, Status) << Message;
        EXPECT_NE(Text.find(Message), std::string::npos) << Text;
    }
}

TEST(OptionTable, AManifestReadsEveryOptionOfItsRouteAndKeepsThemAll)
{
    DefaultVariantSets const Defaults;
    AssetRegistry Registry(Defaults, {}, 4);
    // Read by the routes themselves, not by the asset's parse.
    std::vector<std::string_view> const ByRoute{"trickplay", "now"};
    // Refuse "cc" and each other ("hdr": "codecswitch"), which the others
    // give: read in ChangeTest; "thumbs" refuses "novideo": read after the loop.
    std::vector<std::string_view> const Apart{"av1", "vp9", "hdr", "thumbs"};
    // Refuse "ll", ads and changes, which the others give: read after the loop.
    std::vector<std::string_view> const DynamicForms{"dynamic", "segtimeline"};
    // Refuse "ls" and "duration", which the others give: read after the loop.
    std::vector<std::string_view> const EventTimes{"start", "stop"};
    // Refuses "flac", which HLS reads too: read here for DASH.
    std::string_view const HlsApart = "audio";
    // Refuses "ll" and "novideo", which the others give: read after the loop.
    std::string_view const IFrames = "iframes";
    for(auto const& [Kind, Route] : {std::pair{ManifestKind::Hls, "master.m3u8"}, std::pair{ManifestKind::Dash, "manifest.mpd"}})
    {
        std::string Text = "live";
        std::vector<std::string> Expected;
        for(auto const& Option : OptionTable::Options())
        {
            if(std::find(Option.Routes.begin(), Option.Routes.end(), Route) == Option.Routes.end() ||
               std::find(ByRoute.begin(), ByRoute.end(), Option.Name) != ByRoute.end() ||
               std::find(Apart.begin(), Apart.end(), Option.Name) != Apart.end() ||
               std::find(DynamicForms.begin(), DynamicForms.end(), Option.Name) != DynamicForms.end() ||
               std::find(EventTimes.begin(), EventTimes.end(), Option.Name) != EventTimes.end() || (Kind == ManifestKind::Hls && Option.Name == HlsApart) ||
               Option.Name == IFrames)
                continue;
            Expected.emplace_back(Option.Name);
            if(Option.Name != "live")
                Text += "&" + std::string(Option.Name) + "=" + GoodValue(Option);
        }
        auto const Made = Registry.Parse(Kind, Query(Text), Base, Now);
        std::vector<std::string> Kept;
        for(auto const& Pair : Made.Stored.Query)
            Kept.push_back(Pair.Name);
        std::sort(Expected.begin(), Expected.end());
        std::sort(Kept.begin(), Kept.end());
        EXPECT_EQ(Kept, Expected) << Route << "?" << Text;
        // Parsed again, what was kept is kept again.
        EXPECT_EQ(Registry.Parse(Kind, Made.Stored.Query, Base, Now).Stored.Query.size(), Made.Stored.Query.size()) << Route;
    }
    EXPECT_EQ(Registry.Parse(ManifestKind::Dash, Query("live&dynamic&segtimeline=number"), Base, Now).Stored.Query.size(), 3u);
    EXPECT_EQ(Registry.Parse(ManifestKind::Hls, Query("thumbs=4x4&other=1"), Base, Now).Stored.Query.size(), 1u);
    EXPECT_EQ(Registry.Parse(ManifestKind::Hls, Query("live&iframes"), Base, Now).Stored.Query.size(), 2u);
    EXPECT_EQ(Registry.Parse(ManifestKind::Hls, Query("live&start=30&stop=60"), Base, Now).Stored.Query.size(), 3u);
}
