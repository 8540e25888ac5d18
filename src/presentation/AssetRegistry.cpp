// SPDX-License-Identifier: GPL-2.0-or-later
#include "presentation/AssetRegistry.h"

#include <algorithm>
#include <limits>

#include "base/Check.h"
#include "base/FailureCodes.h"
#include "base/StringFormat.h"
#include "presentation/AudioCodecList.h"
#include "presentation/AudioLanguageList.h"
#include "presentation/QueryNumbers.h"
#include "presentation/QueryReads.h"
#include "presentation/Timeline.h"

namespace Application
{
namespace
{
// "hvc1" (HLS only: DASH keeps H.264), "av1" and "vp9" each choose the rows' codec.
VideoSubtype ChooseVideoCodec(QueryReads& Reads, bool Hls)
{
    bool const Hevc = Hls && Reads.Flag("hvc1");
    bool const Av1 = Reads.Flag("av1");
    bool const Vp9 = Reads.Flag("vp9");
    if(Hevc + Av1 + Vp9 > 1)
        ThrowCheckFailure(E_INVALIDARG, TRACE_CONTEXT(), "one of hvc1, av1, vp9",
                          "\"hvc1\", \"av1\" and \"vp9\" each choose the video codec: give one of them");
    return Hevc ? VideoSubtype::Hevc : Av1 ? VideoSubtype::Av1 : Vp9 ? VideoSubtype::Vp9 : VideoSubtype::H264;
}

// "hdr=pq" or "hdr=hlg": 10-bit BT.2020 rows, HEVC Main10 on both manifests
// (the players that take PQ and HLG take HEVC in DASH too) unless "av1"
// asks for AV1.
DynamicRange ChooseRange(QueryReads& Reads)
{
    auto const Choice = Reads.Choice("hdr");
    if(!Choice)
        return DynamicRange::Sdr;
    return *Choice == "pq" ? DynamicRange::Pq : DynamicRange::Hlg;
}

VideoSubtype CodecOfRange(VideoSubtype Chosen)
{
    if(Chosen == VideoSubtype::Vp9)
        ThrowCheckFailure(E_INVALIDARG, TRACE_CONTEXT(), "hdr && vp9",
                          "\"hdr\" makes 10-bit HEVC (or with \"av1\", AV1) video: VP9 is served in 8 bits only, so give \"hdr\" without \"vp9\"");
    return Chosen == VideoSubtype::Av1 ? VideoSubtype::Av1 : VideoSubtype::Hevc;
}

bool UsesCodec(Configuration const& Record, VideoSubtype Subtype)
{
    auto const Leads = [&](std::vector<VideoVariant> const& Rows) { return !Rows.empty() && Rows.front().Subtype == Subtype; };
    return Leads(Record.VariantSet.VideoVariants) || Leads(Record.OtherCodecVariants);
}

// Caption data travels in H.264 and HEVC pictures only.
void RefuseWhatTheCodecsCannotCarry(Configuration const& Record)
{
    if(Record.Captions == CaptionServices::None)
        return;
    if(UsesCodec(Record, VideoSubtype::Av1))
        ThrowCheckFailure(E_INVALIDARG, TRACE_CONTEXT(), "AV1 && captions",
                          "AV1 video (\"av1\", \"codecswitch=S:av1\") carries no captions: CEA-608 and 708 travel in H.264 and HEVC pictures");
    if(UsesCodec(Record, VideoSubtype::Vp9))
        ThrowCheckFailure(E_INVALIDARG, TRACE_CONTEXT(), "VP9 && captions",
                          "VP9 video (\"vp9\", \"codecswitch=S:vp9\") carries no captions: CEA-608 and 708 travel in H.264 and HEVC pictures");
}

// A live event's DASH manifest is a dynamic one of one period, which turns
// static when the event ends: the design's static live document has
// periods of its own, and so do ads and changes.
void RefuseEventsWithoutOnePeriod(QueryReads& Reads, Configuration const& Record)
{
    if(!Reads.Find("start") && !Record.EventEnd)
        return;
    auto const Refuse = [](char const* Condition, std::string const& Message) { ThrowCheckFailure(FailureCode::EventInvalid, TRACE_CONTEXT(), Condition, Message); };
    if(!Record.Dynamic && !Record.LowLatency)
        Refuse("dynamic || ll", "A live event (\"start\", \"stop\") is described by the dynamic DASH manifest: give it with \"dynamic\" or \"ll\"");
    if(!Record.Changes.Empty() || (Record.Breaks && Record.Breaks->Ads > 0))
        Refuse("!changes && !ads", "A live event's DASH manifest (\"start\", \"stop\") lists one period: changes mid-stream and ads, which make periods, "
                                   "are in its HLS playlists");
}

// "dynamic" and "segtimeline" shape a live DASH manifest only. The timeline
// lists complete segments, which the low-latency document offers before
// they are: it goes with the regular form alone.
void ReadDynamicForm(QueryReads& Reads, Configuration& Record)
{
    auto const Refuse = [](char const* Condition, std::string const& Message) { ThrowCheckFailure(E_INVALIDARG, TRACE_CONTEXT(), Condition, Message); };
    Record.Dynamic = Reads.Flag("dynamic");
    if(auto const Timeline = Reads.Choice("segtimeline"))
        Record.Timeline = *Timeline == "number" ? DashTimeline::Number : DashTimeline::Time;
    if(Record.Timeline != DashTimeline::None && !Record.Dynamic)
        Refuse("!segtimeline || dynamic", "\"segtimeline\" lists the segments of the regular dynamic manifest: give it with \"live&dynamic\"");
    RefuseEventsWithoutOnePeriod(Reads, Record);
    if(!Record.Dynamic)
        return;
    if(!Record.Live)
        Refuse("!dynamic || live", "\"dynamic\" makes a live presentation's manifest dynamic: give it with \"live\"");
    if(Record.LowLatency)
        Refuse("!(dynamic && ll)", "\"dynamic\" is the regular live manifest and \"ll\" the low-latency one, both dynamic: give one of them");
    // Its one period would have to become periods of their own.
    if(!Record.Changes.Empty() || (Record.Breaks && Record.Breaks->Ads > 0))
        Refuse("!dynamic || (!changes && !ads)", "\"dynamic\" lists one period: changes mid-stream and ads, which make periods, are in the dynamic manifest of "
                                               "\"ll\"");
}
// "iframes" names HLS I-frame playlists, one for each video row, which list
// the key picture every whole segment begins with. A low-latency asset has
// a key picture at every part and a live edge that moves by parts, which
// they would not follow.
void ReadIFrames(QueryReads& Reads, Configuration& Record)
{
    Record.IFrames = Reads.Flag("iframes");
    if(!Record.IFrames)
        return;
    auto const Refuse = [](char const* Condition, std::string const& Message) { ThrowCheckFailure(E_INVALIDARG, TRACE_CONTEXT(), Condition, Message); };
    if(Record.NoVideo)
        Refuse("!(iframes && novideo)", "\"iframes\" lists key pictures of the video, which \"novideo\" leaves out: give one of them");
    if(Record.Live && Record.LowLatency)
        Refuse("!(iframes && ll)", "\"iframes\" lists the key picture each whole segment begins with; with \"ll\" every part begins with one and the live edge "
                                   "moves by parts: give \"iframes\" without \"ll\"");
}
} // namespace

AssetRegistry::AssetRegistry(DefaultVariantSets const& Defaults, AudioCodecsProbe Probe, std::size_t MaximalAssets) :
    m_Defaults(Defaults), m_AudioCodecsProbe(std::move(Probe)), m_MaximalAssets(std::max<std::size_t>(MaximalAssets, 1))
{
}

Configuration& AssetRegistry::Create(ManifestKind Kind, QueryVector const& Query, std::int64_t BaseLiveTime, std::int64_t Now)
{
    // Numbers are never reused: once all are taken, manifests fail.
    CHECK_LINE(m_NextAsset <= std::numeric_limits<std::uint32_t>::max());
    auto const Asset = static_cast<std::uint32_t>(m_NextAsset++);
    auto Made = Parse(Kind, Query, BaseLiveTime, Now);
    Made.Asset.Asset = Asset;
    return Keep(std::move(Made.Asset));
}

AssetRegistry::Parsed AssetRegistry::Parse(ManifestKind Kind, QueryVector const& Query, std::int64_t BaseLiveTime, std::int64_t Now)
{
    QueryReads Reads(Query);
    Parsed Result{Configuration(0, BaseLiveTime, Reads, Now), {}};
    auto& Record = Result.Asset;
    bool const Hls = Kind == ManifestKind::Hls;
    // DASH players read text from MP4 segments in a template, or from one
    // whole WebVTT file: segmented WebVTT files are HLS's form.
    if(!Hls && Record.SubtitleCarriage == SubtitleFormat::Vtt)
        ThrowCheckFailure(FailureCode::SubtitlesInvalid, TRACE_CONTEXT(), "subsformat != vtt for DASH",
                          "Invalid \"subsformat\" \"vtt\" for a DASH manifest: DASH carries the subtitle tracks in MP4 segments, stpp or wvtt");
    // The routes of the text need not know the manifest's kind.
    if(!Record.SubtitleLanguages.empty())
        Record.SubtitleCarriage = Record.SubtitleFormatOf(Hls);
    auto const Codec = ChooseVideoCodec(Reads, Hls);
    auto const Range = ChooseRange(Reads);
    Record.VariantSet = IsHighDynamicRange(Range) ? m_Defaults.Of(CodecOfRange(Codec), Range) : m_Defaults.Of(Codec);
    auto& AudioVariants = Record.VariantSet.AudioVariants;
    bool const Flac = Hls && Reads.Flag("flac");
    if(auto const* Codecs = Reads.Text("audio"); Codecs && !AudioVariants.empty())
    {
        if(Flac)
            ThrowCheckFailure(E_INVALIDARG, TRACE_CONTEXT(), "audio && flac", "\"audio\" and \"flac\" each choose the audio codec: give one of them");
        // The same row in each codec asked for, in that order.
        auto const Row = AudioVariants.front();
        AudioVariants.clear();
        for(auto const Subtype : AudioCodecList::Parse(Codecs->Value))
            AudioVariants.push_back(Row.Alternative(Subtype));
    }
    else if(Flac && !AudioVariants.empty())
        AudioVariants.front() = AudioVariants.front().FlacAlternative();
    if(Flac && Record.AudioChannels != AudioChannelCount)
        ThrowCheckFailure(E_INVALIDARG, TRACE_CONTEXT(), "ch && flac", "\"ch=6\" is 5.1 in AAC, Opus, AC-3 or E-AC-3: FLAC audio (\"flac\") stays stereo");
    AddLanguages(Reads, AudioVariants);
    for(auto& Variant : AudioVariants)
    {
        Variant.Duration = Record.Duration;
        Variant.Channels = Record.AudioChannels;
    }
    if(Record.Breaks)
        Record.Breaks->Schedule.Snap(Record.BreakGrid(), Record.Live ? std::nullopt : Record.Duration);
    if(!Hls)
        ReadDynamicForm(Reads, Record);
    else
        ReadIFrames(Reads, Record);
    if(Record.Steering)
        Record.Steering->Dash = !Hls;
    if(!Record.Changes.Empty())
        SettleChanges(Record, Hls);
    RefuseWhatTheCodecsCannotCarry(Record);
    if(!Record.NoAudio && m_AudioCodecsProbe)
        for(auto& Variant : AudioVariants)
            m_AudioCodecsProbe(Variant);
    Result.Stored = {0, Kind, Reads.Read(), BaseLiveTime, Now};
    return Result;
}

void AssetRegistry::AddLanguages(QueryReads& Reads, std::vector<AudioVariant>& AudioVariants)
{
    auto const* Languages = Reads.Text("lang");
    auto const* Describes = Reads.Text("describes");
    if((!Languages && !Describes) || AudioVariants.empty())
        return;
    AudioVariants = AudioLanguageList::Renditions(AudioVariants, Languages ? AudioLanguageList::Parse(Languages->Value) : std::vector<std::string>{},
                                                  Describes ? std::optional<std::string_view>(Describes->Value) : std::nullopt);
}

void AssetRegistry::SettleChanges(Configuration& Record, bool Hls) const
{
    auto const Refuse = [](std::string const& Message) {
        ThrowCheckFailure(FailureCode::ChangesInvalid, TRACE_CONTEXT(), "AssetRegistry::SettleChanges", Message);
    };
    // The design's static document of a live asset has fixed periods of its own.
    if(!Hls && Record.Live && !Record.LowLatency)
        Refuse("A live DASH manifest shows changes mid-stream with \"ll\" (its dynamic form) only");
    Record.Changes.Snap(Record.ChangeGrid());
    // A switch would have to leave the 10-bit rows for 8-bit ones mid-stream,
    // which the players that choose a range once do not follow.
    if(Record.Changes.Has(ChangeKind::Codec) && IsHighDynamicRange(Record.VariantSet.VideoVariants.front().Range))
        Refuse("\"codecswitch\" switches between 8-bit codecs: give it without \"hdr\"");
    if(Record.Changes.Has(ChangeKind::Codec))
    {
        // The named codec, or H.264 where the asset's own rows are of it.
        bool const Same = Record.VariantSet.VideoVariants.front().Subtype == Record.SwitchCodec;
        Record.OtherCodecVariants = m_Defaults.Of(Same ? VideoSubtype::H264 : Record.SwitchCodec).VideoVariants;
    }
    // A DASH document has a period for every change it lists: as many as its
    // duration, or its live window, holds.
    std::int64_t const Span = Record.Live ? Record.LiveWindow.value_or(0) : Record.Duration.value_or(0);
    if(!Hls && Span / Record.Changes.ShortestPeriod() > static_cast<std::int64_t>(MaximalChangePeriods))
        Refuse(StringFormat("A DASH manifest lists at most %zu periods of changes: make the changes less frequent, or the %s shorter", MaximalChangePeriods,
                            Record.Live ? "live window" : "duration"));
}

Configuration& AssetRegistry::Keep(Configuration Asset)
{
    // A number the store gave again after it forgot it: what it names now
    // is the store's asset, not the one kept here before.
    if(auto const Found = m_Assets.find(Asset.Asset); Found != m_Assets.end())
    {
        m_Recent.erase(Found->second.Record);
        m_Assets.erase(Found);
    }
    if(m_Recent.size() >= m_MaximalAssets)
    {
        m_Assets.erase(m_Recent.back().Asset);
        m_Recent.pop_back();
    }
    auto& Record = m_Recent.emplace_front(std::move(Asset));
    m_Assets.emplace(Record.Asset, Entry{m_Recent.begin(), std::chrono::steady_clock::now()});
    return Record;
}

Configuration& AssetRegistry::Adopt(StoredAsset const& Stored)
{
    if(auto* Record = Held(Stored.Asset))
        return *Record;
    auto Made = Parse(Stored.Kind, Stored.Query, Stored.BaseLiveTime, Stored.Now);
    Made.Asset.Asset = Stored.Asset;
    auto& Record = Keep(std::move(Made.Asset));
    // The master playlist set the end of a live asset when it was made.
    if(Stored.Kind == ManifestKind::Hls)
        Timeline::SetLiveEndTime(Record, Stored.Now);
    return Record;
}

std::uint32_t AssetRegistry::AssetNumber(QueryVector const& Query)
{
    auto const Asset = QueryInteger(Query, "asset");
    CHECK_CONDITION(Asset.has_value(), FailureCode::AssetMissing);
    return static_cast<std::uint32_t>(*Asset);
}

Configuration* AssetRegistry::Held(std::uint32_t Asset)
{
    auto const Found = m_Assets.find(Asset);
    if(Found == m_Assets.end())
        return nullptr;
    m_Recent.splice(m_Recent.begin(), m_Recent, Found->second.Record);
    return &*Found->second.Record;
}

Configuration& AssetRegistry::Find(QueryVector const& Query)
{
    auto* Record = Held(AssetNumber(Query));
    CHECK_CONDITION(Record != nullptr, FailureCode::AssetUnknown);
    return *Record;
}

void AssetRegistry::Forget(std::uint32_t Highest)
{
    for(auto Record = m_Recent.begin(); Record != m_Recent.end();)
    {
        if(Record->Asset > Highest)
        {
            ++Record;
            continue;
        }
        m_Assets.erase(Record->Asset);
        Record = m_Recent.erase(Record);
    }
}

bool AssetRegistry::RefreshDue(std::uint32_t Asset, std::chrono::steady_clock::time_point Now)
{
    auto const Found = m_Assets.find(Asset);
    if(Found == m_Assets.end() || Now - Found->second.Refreshed < AssetStore::RefreshInterval)
        return false;
    Found->second.Refreshed = Now;
    return true;
}
} // namespace Application
