// SPDX-License-Identifier: GPL-2.0-or-later
#include "presentation/Configuration.h"

#include <algorithm>
#include <charconv>
#include <numeric>

#include "base/Check.h"
#include "base/FailureCodes.h"
#include "base/StringFormat.h"
#include "presentation/FaultParser.h"
#include "presentation/LanguageTag.h"
#include "presentation/LiveEvent.h"
#include "presentation/OptionTable.h"
#include "presentation/QueryNumbers.h"
#include "presentation/RequestTime.h"
#include "presentation/Timeline.h"

namespace Application
{
namespace
{
// Query values are UTF-8 here, but lengths are counted in characters: a key
// with one non-ASCII character among 32 is a wrong digit, not a wrong length.
std::size_t CharacterCount(std::string_view Text)
{
    std::size_t Count = 0;
    for(char Character : Text)
        if((static_cast<unsigned char>(Character) & 0xC0) != 0x80)
            ++Count;
    return Count;
}

std::optional<std::int64_t> QueryDurationSeconds(QueryReads& Query)
{
    // 1 to MaximalDurationSeconds, as its row says.
    auto const Seconds = Query.Integer("duration");
    if(!Seconds)
        return std::nullopt;
    return static_cast<std::int64_t>(*Seconds) * TimeUnitsPerSecond;
}

// "signal": a comma-separated subset of the carriages, each named once.
std::uint32_t ParseBreakSignals(std::string_view Text)
{
    constexpr std::pair<std::string_view, BreakSignal> Names[]{
        {"daterange", BreakSignal::DateRange}, {"cue", BreakSignal::Cue}, {"eventstream", BreakSignal::EventStream}, {"emsg", BreakSignal::Emsg}};
    std::uint32_t Signals = 0;
    for(std::string_view Rest = Text;;)
    {
        auto const Comma = Rest.find(',');
        auto const Name = Rest.substr(0, Comma);
        auto const Found = std::find_if(std::begin(Names), std::end(Names), [Name](auto const& Pair) { return Pair.first == Name; });
        auto const Bit = Found == std::end(Names) ? 0 : static_cast<std::uint32_t>(Found->second);
        if(Bit == 0 || (Signals & Bit) != 0)
            OptionTable::Get("signal").Refuse(Text);
        Signals |= Bit;
        if(Comma == std::string_view::npos)
            return Signals;
        Rest.remove_prefix(Comma + 1);
    }
}

constexpr std::int64_t DefaultDuration = 180'000'000;
constexpr std::int64_t DefaultLiveWindow = 300'000'000;
} // namespace

Configuration::Configuration(std::uint32_t Asset, std::int64_t BaseLiveTime, QueryVector const& Query, std::int64_t Now)
{
    QueryReads Reads(Query);
    *this = Configuration(Asset, BaseLiveTime, Reads, Now);
}

Configuration::Configuration(std::uint32_t Asset, std::int64_t BaseLiveTime, QueryReads& Query, std::int64_t Now) :
    Asset(Asset), BaseLiveTime(BaseLiveTime)
{
    NoAudio = Query.Flag("noaudio");
    NoVideo = Query.Flag("novideo");
    if(Query.Choice("ch") == "6")
        AudioChannels = SurroundChannelCount;
    Live = Query.Flag("live");
    ParseDuration(Query);
    // Fractional target durations are allowed on purpose; a target of zero
    // or less would tell players that no segment may last at all (the rows
    // begin at 100 ns).
    AudioTargetDuration = Query.Time("atd");
    VideoTargetDuration = Query.Time("vtd");
    if(Live)
        ParseLiveKeys(Query, Now);
    ParseEventKeys(Query, Now);
    ParseEncryptionKeys(Query);
    ParseTestAids(Query);
    ContentProtection = Query.Flag("cp");
    ParseLowLatencyKeys(Query);
    if(auto const Services = Query.Choice("cc"))
        Captions = *Services == "608" ? CaptionServices::Cea608 : CaptionServices::Cea608And708;
    ParseSubtitleKeys(Query);
    ParseBreakKeys(Query);
    ParseChangeKeys(Query);
    ParseThumbnails(Query);
    ParseSteeringKeys(Query);
    RefuseUnknownPathways();
}

void Configuration::ParseThumbnails(QueryReads& Query)
{
    auto const* Value = Query.Text("thumbs");
    if(!Value)
        return;
    Thumbnails = ThumbnailLayout::Parse(Value->Value);
    if(NoVideo)
        ThrowCheckFailure(FailureCode::ThumbnailsInvalid, TRACE_CONTEXT(), "Configuration::ParseThumbnails",
                          "\"thumbs\" makes thumbnails of the video, and \"novideo\" leaves it out");
}

void Configuration::ParseSteeringKeys(QueryReads& Query)
{
    auto const* Names = Query.Text("steer");
    // Whole seconds within their rows' bounds.
    auto const Rotate = Query.Integer("steerrotate");
    auto const TimeToLive = Query.Integer("steerttl");
    if(!Names)
    {
        if(Rotate || TimeToLive)
            ThrowCheckFailure(FailureCode::SteeringInvalid, TRACE_CONTEXT(), "Configuration::ParseSteeringKeys",
                              "\"steerrotate\" and \"steerttl\" shape the content steering \"steer\" asks for, and it is not given");
        return;
    }
    auto& Settings = Steering.emplace();
    Settings.Pathways = SteeringSettings::ParseNames(Names->Value);
    if(Rotate)
        Settings.RotatePeriod = *Rotate * TimeUnitsPerSecond;
    if(TimeToLive)
        Settings.TimeToLive = *TimeToLive;
}

void Configuration::RefuseUnknownPathways() const
{
    if(!Faults)
        return;
    for(auto const& Rule : Faults->GetRules())
        if(!Rule.Pathway.empty() && !(Steering && Steering->Has(Rule.Pathway)))
            ThrowCheckFailure(FailureCode::FaultRuleInvalid, TRACE_CONTEXT(), "Configuration::RefuseUnknownPathways",
                              "Malformed fault rule \"" + Rule.Text + "\": the asset has no pathway \"" + Rule.Pathway + "\" (give it in \"steer\")");
}

void Configuration::ParseChangeKeys(QueryReads& Query)
{
    auto const Refuse = [](std::string const& Message) {
        ThrowCheckFailure(FailureCode::ChangesInvalid, TRACE_CONTEXT(), "Configuration::ParseChangeKeys", Message);
    };
    // Whole seconds, 1 to a day, as the rows say.
    constexpr std::pair<char const*, ChangeKind> Periodic[]{{"disc", ChangeKind::Discontinuity}, {"sizeswitch", ChangeKind::Size},
                                                            {"clearlead", ChangeKind::ClearLead}, {"rotate", ChangeKind::Key}};
    for(auto const& [Name, Kind] : Periodic)
        if(auto const Seconds = Query.Integer(Name))
            Changes.Set(Kind, static_cast<std::int64_t>(*Seconds) * TimeUnitsPerSecond);
    if(auto const* Switch = Query.Find("codecswitch"))
    {
        std::string_view Text = Switch->Value;
        auto const Colon = Text.find(':');
        if(Colon != std::string_view::npos)
        {
            auto const Codec = Text.substr(Colon + 1);
            if(Codec != "hevc" && Codec != "av1" && Codec != "vp9")
                Refuse("Invalid \"codecswitch\" \"" + Switch->Value +
                       "\": the video alternates with HEVC (\"S\" or \"S:hevc\"), AV1 (\"S:av1\") or VP9 (\"S:vp9\")");
            SwitchCodec = Codec == "av1" ? VideoSubtype::Av1 : Codec == "vp9" ? VideoSubtype::Vp9 : VideoSubtype::Hevc;
            Text = Text.substr(0, Colon);
        }
        auto const Seconds = ParseDecimal(Text, ChangeSchedule::MaximalSeconds);
        if(!Seconds || *Seconds < 1)
            OptionTable::Get("codecswitch").Refuse(Switch->Value);
        Changes.Set(ChangeKind::Codec, static_cast<std::int64_t>(*Seconds) * TimeUnitsPerSecond);
    }
    if(auto Audio = Query.Hex("audiokey"))
        AudioKey = std::move(*Audio);
    InbandKeys = Query.Flag("inband");
    if(InbandKeys && !Changes.HasAny(ChangeKind::ClearLead | ChangeKind::Key))
        Refuse("\"inband\" says where the keys of \"clearlead\" or \"rotate\" are signalled, and neither is given");
    bool const Keyed = Changes.HasAny(ChangeKind::ClearLead | ChangeKind::Key) || !AudioKey.empty();
    if(Keyed && Key.empty())
        Refuse("\"clearlead\", \"rotate\" and \"audiokey\" change how the media is encrypted, and no \"key\" encrypts it");
    if(Changes.Empty())
        return;
    // Dates keep the timeline in one piece across the changes: a live
    // playlist dates every segment unless "pdt" says otherwise.
    if(Live && !ProgramDateTimePeriod)
        ProgramDateTimePeriod = 0;
}

void Configuration::ParseBreakKeys(QueryReads& Query)
{
    auto const* Schedule = Query.Find("breaks");
    auto const* Signals = Query.Find("signal");
    auto const Lead = Query.Time("lead");
    auto const Command = Query.Choice("scte");
    auto const Ads = Query.Integer("ads");
    if(!Schedule)
    {
        if(Signals || Lead || Command || Ads)
            ThrowCheckFailure(FailureCode::BreaksInvalid, TRACE_CONTEXT(), "Configuration::ParseBreakKeys",
                              "\"signal\", \"lead\", \"scte\" and \"ads\" shape the breaks \"breaks\" asks for, and it is not given");
        return;
    }
    auto& Settings = Breaks.emplace(BreakSettings{BreakSchedule::Parse(Schedule->Value)});
    if(Signals)
        Settings.Signals = ParseBreakSignals(Signals->Value);
    // 0 to MaximalLead, as the row says.
    if(Lead)
        Settings.Lead = *Lead;
    if(Command == "timesignal")
        Settings.Command = SpliceCommand::TimeSignal;
    if(Ads)
        Settings.Ads = static_cast<std::uint32_t>(*Ads);
    // Dates place the breaks: a live playlist dates every segment unless "pdt" says otherwise.
    if(Live && Settings.Dated() && !ProgramDateTimePeriod)
        ProgramDateTimePeriod = 0;
}

std::string Configuration::AssetQuery() const
{
    if(Advert)
        return StringFormat("asset=%u&break=%u&ad=%u", Asset, Advert->Break, Advert->Number);
    return StringFormat("asset=%u", Asset);
}

std::int64_t Configuration::BreakGrid() const
{
    std::int64_t const Audio = VariantSet.AudioVariants.empty() ? 0 : VariantSet.AudioVariants.front().SegmentDuration;
    if(NoVideo || VariantSet.VideoVariants.empty())
    {
        CHECK_LINE(Audio > 0);
        return Audio;
    }
    std::int64_t const Video = VariantSet.VideoVariants.front().SegmentDuration;
    // Ads are periods of their own: their joins lie on every track's
    // segment boundaries, so that each period's media starts a segment.
    if(Breaks && Breaks->Ads > 0 && !NoAudio && Audio > 0)
        return std::lcm(Video, Audio);
    return Video;
}

std::int64_t Configuration::ChangeGrid() const
{
    // Both rows, even where one track is left out: the rows are there.
    std::int64_t const Audio = VariantSet.AudioVariants.empty() ? 0 : VariantSet.AudioVariants.front().SegmentDuration;
    std::int64_t const Video = VariantSet.VideoVariants.empty() ? 0 : VariantSet.VideoVariants.front().SegmentDuration;
    CHECK_LINE(Audio > 0 && Video > 0);
    return std::lcm(Video, Audio);
}

std::uint32_t Configuration::PeriodChanges() const noexcept
{
    return InbandKeys ? AllChanges & ~(ChangeKind::ClearLead | ChangeKind::Key) : AllChanges;
}

VideoVariant Configuration::VideoVariantAt(VideoVariant const& Variant, ChangeState const& State) const
{
    VideoVariant Result = State.OtherCodec && Variant.Index < OtherCodecVariants.size() ? OtherCodecVariants[Variant.Index] : Variant;
    if(State.Smaller)
    {
        // Half the size, each side even as the encoders and the colour conversion need.
        Result.FrameSizeW = std::max<std::uint32_t>(Variant.FrameSizeW / 4 * 2, 2);
        Result.FrameSizeH = std::max<std::uint32_t>(Variant.FrameSizeH / 4 * 2, 2);
    }
    return Result;
}

bool Configuration::HasSubtitle(std::string_view Language) const noexcept
{
    return std::find(SubtitleLanguages.begin(), SubtitleLanguages.end(), Language) != SubtitleLanguages.end();
}

void Configuration::ParseSubtitleKeys(QueryReads& Query)
{
    auto const* Languages = Query.Find("subs");
    auto const Duration = Query.Integer("subsdur");
    auto const Region = Query.Choice("subsreg");
    auto const Format = Query.Choice("subsformat");
    auto const Refuse = [](std::string const& Message) {
        ThrowCheckFailure(FailureCode::SubtitlesInvalid, TRACE_CONTEXT(), "Configuration::ParseSubtitleKeys", Message);
    };
    if(!Languages)
    {
        if(Duration || Region || Format)
            Refuse("\"subsdur\", \"subsreg\" and \"subsformat\" shape the tracks \"subs\" asks for, and it is not given");
        return;
    }
    std::string_view Text = Languages->Value;
    for(;;)
    {
        auto const Comma = Text.find(',');
        auto const Tag = Text.substr(0, Comma);
        if(!LanguageTag::IsWellFormed(Tag))
            OptionTable::Get("subs").Refuse(Languages->Value);
        if(HasSubtitle(Tag))
            Refuse("Invalid \"subs\": the language \"" + std::string(Tag) + "\" is given twice");
        if(SubtitleLanguages.size() == MaximalSubtitleLanguages)
            Refuse(StringFormat("Invalid \"subs\": at most %zu languages", MaximalSubtitleLanguages));
        SubtitleLanguages.emplace_back(Tag);
        if(Comma == std::string_view::npos)
            break;
        Text.remove_prefix(Comma + 1);
    }
    // 100 to 1000 milliseconds, as the row says.
    if(Duration)
        SubtitleCueDuration = *Duration * (TimeUnitsPerSecond / 1000);
    SubtitlesAtTop = Region == "top";
    if(Format)
        SubtitleCarriage = SubtitleFormatNamed(*Format);
}

void Configuration::ParseLowLatencyKeys(QueryReads& Query)
{
    LowLatency = Query.Flag("ll");
    // MinimalPartDuration to 10 s, as the row says.
    if(auto const Part = Query.Time("part"))
        PartDuration = *Part;
}

void Configuration::ParseDuration(QueryReads& Query)
{
    Duration = QueryDurationSeconds(Query);
    if(!Live && !Duration)
        Duration = DefaultDuration;
}

void Configuration::ParseLiveKeys(QueryReads& Query, std::int64_t Now)
{
    LiveWindow = Query.Time("lv").value_or(DefaultLiveWindow);
    std::optional<std::int64_t> Lead = Query.Time("ls");
    // A manifest that says what time it is starts its own timeline, as the
    // server's start does, so that the presentation follows from the URLs
    // alone and not from when the server started.
    if(!Lead && Query.Flag(RequestTime::QueryKey))
        Lead = BaseLiveTimeLead;
    if(Lead)
    {
        // Program date-times, the pictures' clock and "now" itself name
        // times from 1970 on: a timeline that would begin earlier names
        // none of them.
        if(Now - *Lead < UnixEpochAbsoluteTime)
            ThrowCheckFailure(FailureCode::NowInvalid, TRACE_CONTEXT(), "Now - Lead >= UnixEpochAbsoluteTime",
                              "Invalid \"now\": the live asset would begin before 1970-01-01 (10 s, or \"ls\" seconds, before \"now\")");
        BaseLiveTime = Now - *Lead;
    }
    ProgramDateTimePeriod = Query.Time("pdt");
}

void Configuration::ParseEventKeys(QueryReads& Query, std::int64_t Now)
{
    auto const* Start = Query.Text("start");
    auto const* Stop = Query.Text("stop");
    if(!Start && !Stop)
        return;
    auto const Refuse = [](std::string const& Message) {
        ThrowCheckFailure(FailureCode::EventInvalid, TRACE_CONTEXT(), "Configuration::ParseEventKeys", Message);
    };
    if(!Live)
        Refuse("\"start\" and \"stop\" make a live event: give them with \"live\"");
    // Both would place the timeline's start; both would end it.
    if(Start && Query.Find("ls"))
        Refuse("\"start\" and \"ls\" each say where the live timeline begins: give one of them");
    if(Stop && Duration)
        Refuse("\"stop\" and \"duration\" each end the live presentation: give one of them");
    auto const TimeOf = [Now](QueryStringNameValue const& Pair) {
        auto const Time = LiveEvent::ParseTime(Pair.Value, Now);
        if(!Time)
            OptionTable::Get(Pair.Name, OptionKind::Text).Refuse(Pair.Value);
        return *Time;
    };
    if(Start)
    {
        BaseLiveTime = TimeOf(*Start);
        // As for "ls": the dates of the segments and pictures begin in 1970.
        if(BaseLiveTime < UnixEpochAbsoluteTime)
            Refuse("Invalid \"start\" \"" + Start->Value + "\": the event would begin before 1970-01-01");
    }
    if(Stop)
    {
        std::int64_t const End = TimeOf(*Stop);
        if(End <= BaseLiveTime)
            Refuse("Invalid \"stop\" \"" + Stop->Value + "\": the event must end after it begins, " + Timeline::FormatProgramDateTime(BaseLiveTime));
        EventEnd = End - BaseLiveTime;
    }
}

void Configuration::ParseEncryptionKeys(QueryReads& Query)
{
    // The other encryption keys mean nothing without a key, and are not read.
    if(!Query.Find("key"))
        return;
    // "scheme=" takes the default, cenc, as no scheme does.
    Scheme = Query.Choice("scheme").value_or("cenc");
    EncryptionScheme = Scheme == "cenc" ? EncryptionScheme::Cenc : EncryptionScheme::Cbcs;
    Key = *Query.Hex("key");
    if(auto Vector = Query.Hex("initializationvector"))
        InitializationVector = std::move(*Vector);
    else
        InitializationVector.assign(DefaultInitializationVector.begin(), DefaultInitializationVector.end());
    if(auto const* FormatPair = Query.Find("keyformat"))
        KeyFormat = FormatPair->Value;
}

void Configuration::ParseTestAids(QueryReads& Query)
{
    FrameCode = Query.Flag("framecode");
    if(auto Rules = FaultParser::Parse(Query); !Rules.empty())
        Faults = std::make_shared<FaultPlan>(std::move(Rules));
}

Configuration Configuration::ForAudioFile(QueryVector const& Query, std::vector<AudioVariant> const& DefaultAudioVariants)
{
    Configuration Result;
    Result.VariantSet.AudioVariants = DefaultAudioVariants;
    Result.NoVideo = true;
    QueryReads Reads(Query);
    Result.Duration = QueryDurationSeconds(Reads).value_or(DefaultDuration);
    if(Reads.Flag("flac") && !Result.VariantSet.AudioVariants.empty())
        Result.VariantSet.AudioVariants.front() = Result.VariantSet.AudioVariants.front().FlacAlternative();
    if(!Result.VariantSet.AudioVariants.empty())
        Result.VariantSet.AudioVariants.front().Duration = Result.Duration;
    return Result;
}

std::string Configuration::FormatBase16(std::span<std::uint8_t const> Bytes)
{
    std::string Text;
    for(auto Byte : Bytes)
        Text += StringFormat("%02X", Byte);
    return Text;
}

std::vector<std::uint8_t> Configuration::ParseBase16(std::string_view Value, std::optional<std::size_t> Length)
{
    std::size_t const Size = CharacterCount(Value);
    // The traced expressions are the ones support staff know these codes by.
    CheckCondition(Size % 2 == 0, TRACE_CONTEXT(), FailureCode::Base16OddLength, "Value.size() % 2 == 0");
    CheckCondition(!Length.has_value() || Size == Length.value() * 2, TRACE_CONTEXT(), FailureCode::Base16WrongLength,
                   "!Length.has_value() || Value.size() == Length.value() * 2");
    std::vector<std::uint8_t> Bytes;
    Bytes.reserve(Size / 2);
    // Both characters of a pair must be digits: a pair such as "1G" is a typing
    // error, never the byte 0x01.
    // Every byte is read: a stray byte that counts as no character (a UTF-8
    // continuation byte) must not be left over unread.
    for(std::size_t Index = 0; Index < Value.size(); Index += 2)
    {
        char const* const Pair = Value.data() + Index;
        std::uint8_t Byte = 0;
        auto const Result = std::from_chars(Pair, Pair + std::min<std::size_t>(2, Value.size() - Index), Byte, 16);
        CheckCondition(Result.ec == std::errc() && Result.ptr == Pair + 2, TRACE_CONTEXT(), FailureCode::Base16NotHexadecimal,
                       "every pair of characters is two hexadecimal digits");
        Bytes.push_back(Byte);
    }
    return Bytes;
}
} // namespace Application
