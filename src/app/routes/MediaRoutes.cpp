// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/routes/MediaRoutes.h"

#include <algorithm>

#include "app/answers/ErrorAnswer.h"
#include "app/faults/FaultGate.h"
#include "app/live/LiveSegmentGate.h"
#include "app/live/PartAnswer.h"
#include "app/production/BreakNoticesOf.h"
#include "app/answers/WholeAnswer.h"
#include "base/Check.h"
#include "base/FailureCodes.h"
#include "base/MulDiv.h"
#include "base/StringFormat.h"
#include "base/Trace.h"
#include "media/AudioSession.h"
#include "media/VideoMediaSource.h"
#include "media/VideoSession.h"
#include "presentation/AdAssets.h"
#include "presentation/BreakMessages.h"
#include "presentation/ProtectionDataProvider.h"
#include "presentation/QueryNumbers.h"
#include "presentation/SegmentIndex.h"
#include "presentation/Timeline.h"

namespace Application
{
namespace
{
// The period number of a saved segment's file name, 0 without "period".
unsigned PeriodNumber(QueryVector const& Query)
{
    return PeriodNumberFromQuery(Query);
}

std::uint32_t SegmentCount(std::int64_t Duration, std::int64_t SegmentDuration)
{
    return static_cast<std::uint32_t>(MulDivCeiling(Duration, 1, SegmentDuration));
}

// Runs a session and adds what it made to a production that does not stream.
void MakeWhole(SegmentProduction& Production, SegmentSession& Session)
{
    Production.RunSession(Session);
    Production.Append(Session.GetOutputWrites());
}

// Hands what a session makes to the production as it is made; Prefix
// (boxes that go ahead of the first movie fragment) joins the first
// fragment, so that the fragments stay the ones the schedule counts.
void Stream(SegmentProduction& Production, SegmentSession& Session, SharedBytes Prefix = nullptr)
{
    Session.SetDataCallback([&Production, Prefix](std::vector<SharedBytes> Fragments) mutable {
        if(Prefix && !Fragments.empty())
        {
            auto Joined = std::make_shared<std::vector<std::uint8_t>>(*Prefix);
            Joined->insert(Joined->end(), Fragments.front()->begin(), Fragments.front()->end());
            Fragments.front() = std::move(Joined);
            Prefix = nullptr;
        }
        return Production.Deliver(std::move(Fragments));
    });
    Production.RunSession(Session);
}

// Progressive files stay at one address from build to build: caches ask
// again each time (and get 304 while the tag holds).
constexpr char const* RevalidateEachTime = "no-cache";

// A part is held at most this many target durations, as a blocking playlist
// reload is.
constexpr std::int64_t PartHoldTargets = 3;

// "part", when the request names one.
std::optional<std::int32_t> PartOf(QueryVector const& Query)
{
    if(auto const Part = PartNumberFromQuery(Query); Part >= 0)
        return Part;
    return std::nullopt;
}

// "iframe" names an entry of the asset's I-frame playlists, a whole key
// picture: no part of one.
void CheckKeyPictureRequest(Configuration const& Asset, bool Part)
{
    if(!Asset.IFrames)
        ThrowCheckFailure(FailureCode::IFramesAbsent, TRACE_CONTEXT(), "Asset.IFrames",
                          StringFormat("Asset %u has no I-frame playlists: \"iframe\" names their entries, made with \"iframes\"", Asset.Asset));
    if(Part)
        ThrowCheckFailure(E_INVALIDARG, TRACE_CONTEXT(), "!(iframe && part)", "\"iframe\" and \"part\" each name a piece of the segment: give one of them");
}

// What an initialisation segment depends on of the changes at "at", the
// segment it is first needed for (the first of the track without).
ChangeState HeaderChanges(Configuration const& Asset, QueryVector const& Query, SegmentTrack Track, std::uint32_t Variant, std::int64_t SegmentDuration)
{
    auto const At = QueryInteger(Query, "at").value_or(0);
    if(!AssetHasSegment(Asset, Track, Variant, static_cast<std::uint32_t>(At)))
        ThrowCheckFailure(FailureCode::SegmentOutsideAsset, TRACE_CONTEXT(), "at below the track's segment count",
                          StringFormat("Segment %lld is not within asset %u", static_cast<long long>(At), Asset.Asset));
    auto const State = Asset.Changes.At(At * SegmentDuration);
    ChangeState Header;
    Header.OtherCodec = State.OtherCodec;
    Header.Smaller = State.Smaller;
    // Keys said in the fragments leave one header with the first key.
    if(!Asset.InbandKeys)
    {
        Header.Clear = State.Clear;
        Header.KeyEpoch = State.KeyEpoch;
    }
    return Header;
}
} // namespace

MediaRoutes::MediaRoutes(ServerContext& Context, RouteTable& Table, MediaWork& Work) :
    m_Context(Context), m_Work(Work), m_HeldParts(SystemAbsoluteTime, Context.Metrics, ServerMetrics::Gauge::HeldParts)
{
    Table.AddRoute("video.mp4", [this](RouteContext& Request) { VideoFile(Request); });
    Table.AddRoute("audio.mp4", [this](RouteContext& Request) { AudioFile(Request); });
    Table.AddAssetRoute("video-header.mp4", [this](RouteContext& Request) { VideoHeader(Request); });
    Table.AddAssetRoute("video-body.mp4", [this](RouteContext& Request) { VideoBody(Request); });
    Table.AddAssetRoute("audio-header.mp4", [this](RouteContext& Request) { AudioHeader(Request); });
    Table.AddAssetRoute("audio-body.mp4", [this](RouteContext& Request) { AudioBody(Request); });
}

void MediaRoutes::Stop()
{
    m_HeldParts.Stop();
}

void MediaRoutes::VideoHeader(RouteContext& Context)
{
    auto const& Asset = *Context.Asset;
    VideoVariant Row;
    CHECK_CONDITION(Asset.VariantSet.ParseVideoVariant(Context.QueryVector, Row), FailureCode::VideoHeaderVariant);
    auto const Changes = HeaderChanges(Asset, Context.QueryVector, SegmentTrack::Video, Row.Index, Row.SegmentDuration);
    auto const Variant = Asset.VideoVariantAt(Row, Changes);
    auto const Session = std::make_shared<VideoSession>(m_Work.GetVideoContext(), Variant);
    Session->SetEncryption(MakeProtectionSettings(Asset, KeyTrack::Video, Changes));
    // The parameter sets depend on the key frame interval: the header is made with the segments' one.
    if(auto const Interval = PartLayout::KeyFrameIntervalOf(Asset, Variant))
        Session->SetKeyFrameInterval(*Interval);
    auto Key = SegmentKey::VideoHeader(Variant, Asset);
    Key.AddChanges(Asset, Changes, KeyTrack::Video);
    if(auto* Record = Context.Record.get())
    {
        Record->Track = RequestTrack::Video;
        Record->Variant = Variant.Index;
    }
    MediaBodyAnswer Answer{"video/mp4", Key.EntityTag()};
    Answer.FileName = StringFormat("video-header-v%u.mp4", Variant.Index);
    Serve(Context, Key, std::move(Answer), false, m_Work.GetVideoTasks(), [Session](SegmentProduction& Production) { MakeWhole(Production, *Session); }, true);
}

void MediaRoutes::VideoBody(RouteContext& Context)
{
    auto const& Query = Context.QueryVector;
    // An ad's segment: made from the ad's presentation, which lives as long as this call.
    auto const Ad = AdAssets::Of(*Context.Asset, Query);
    auto const& Asset = Ad ? *Ad : *Context.Asset;
    VideoVariant Variant;
    CHECK_CONDITION(Asset.VariantSet.ParseVideoVariant(Query, Variant), FailureCode::VideoBodyVariant);
    auto const Index = SegmentIndexFromQuery(Query, Asset, SegmentTrack::Video, Variant.Index);
    CHECK_CONDITION(Index.has_value(), FailureCode::VideoBodyIndexMissing);
    auto const Color = QueryInteger(Query, "color");
    auto const FileName = StringFormat("video-body-v%u-p%u-i%u.mp4", Variant.Index, PeriodNumber(Query), ResponseFileSegmentNumber(Query, *Index));
    bool const KeyPicture = QueryFlag(Query, "iframe");
    if(KeyPicture)
        CheckKeyPictureRequest(Asset, PartOf(Query).has_value());
    ServeSegment(Context,
                 {FaultTrack::Video, Variant.Index, *Index, PartOf(Query), VideoSegment(Asset, Variant, *Index, Color),
                  FragmentSchedule::ForVideo(Variant, *Index, Asset.BaseLiveTime), PartLayout::ForVideo(Variant, Asset.PartDuration),
                  Timeline::TargetDuration(Asset.VideoTargetDuration, Variant.SegmentDuration), {"video/mp4", {}, MediaBodyAnswer::Immutable, FileName},
                  Variant.SegmentDuration, [this, &Asset, &Variant, Color](std::uint32_t Other) { return VideoSegment(Asset, Variant, Other, Color); },
                  KeyPicture},
                 m_Work.GetVideoTasks());
}

MediaRoutes::SegmentMaking MediaRoutes::VideoSegment(Configuration const& Asset, VideoVariant const& Row, std::uint32_t Index,
                                                     std::optional<std::int32_t> Color) const
{
    std::int64_t const Start = static_cast<std::int64_t>(Index) * Row.SegmentDuration;
    auto const Changes = Asset.Changes.At(Start);
    auto const Variant = Asset.VideoVariantAt(Row, Changes);
    auto const Session = std::make_shared<VideoSession>(m_Work.GetVideoContext(), Variant, Index);
    std::optional<std::uint32_t> Colour;
    if(Color)
        Session->SetBackgroundColor(*(Colour = VideoMediaSource::ChosenColor(*Color)));
    std::optional<std::int64_t> BaseLiveTime;
    if(Asset.Live)
        Session->SetBaseLiveTime(*(BaseLiveTime = Asset.BaseLiveTime));
    std::optional<std::uint32_t> FrameCodeAsset;
    if(Asset.FrameCode)
        Session->SetFrameCode(*(FrameCodeAsset = Asset.Asset));
    Session->SetEncryption(MakeProtectionSettings(Asset, KeyTrack::Video, Changes));
    if(!Asset.Changes.Empty())
    {
        Session->SetTimeOrigin(Changes.Origin);
        auto Text = Asset.Changes.Describe(Start, Variant);
        if(auto const Kinds = Asset.Changes.KindsAt(Start))
            TRACE("Asset %u, video variant %u, segment %u begins change %u (kinds 0x%x): \"%s\"\n", Asset.Asset, Variant.Index, Index, Changes.Number, Kinds,
                  Text.c_str());
        Session->SetChangeNotice({Changes.Number, std::move(Text)});
    }
    if(auto const Interval = PartLayout::KeyFrameIntervalOf(Asset, Variant))
        Session->SetKeyFrameInterval(*Interval);
    // Every row, the one-picture-a-second one too: HLS players switch to it and keep showing captions.
    switch(Asset.Captions)
    {
    case CaptionServices::None: break;
    case CaptionServices::Cea608: Session->SetCaptions(VideoEncoderSettings::CaptionServices::Cea608); break;
    case CaptionServices::Cea608And708: Session->SetCaptions(VideoEncoderSettings::CaptionServices::Cea608And708); break;
    }
    auto Key = SegmentKey::VideoBody(Variant, Index, Colour, BaseLiveTime, FrameCodeAsset, Asset);
    if(Asset.Surround())
        Session->SetSurround();
    Key.AddChanges(Asset, Changes, KeyTrack::Video);
    SharedBytes Events;
    if(Asset.Advert)
    {
        Session->SetAdvert(Asset.Advert->Number, Asset.Advert->Count);
        Key.AddAdvert(Asset.Advert->Number, Asset.Advert->Count);
    }
    else if(Asset.Breaks)
    {
        if(auto Notices = BreakNoticesOf(Asset, Start, Start + Variant.SegmentDuration); !Notices.empty())
        {
            Key.AddBreakNotices(Notices);
            Session->SetBreakNotices(std::move(Notices));
        }
        if(auto Boxes = BreakMessages::ForSegment(Asset, Start, Variant.SegmentDuration); !Boxes.empty())
        {
            Key.AddEventMessages(Boxes);
            Events = std::make_shared<std::vector<std::uint8_t> const>(std::move(Boxes));
        }
    }
    return {std::move(Key), [Session, Events](SegmentProduction& Production) { Stream(Production, *Session, Events); }};
}

void MediaRoutes::AudioHeader(RouteContext& Context)
{
    auto const& Asset = *Context.Asset;
    auto const Row = static_cast<std::uint32_t>(Asset.VariantSet.AudioRowOf(Context.QueryVector));
    auto const& Variant = Asset.VariantSet.AudioVariants[Row];
    auto const Changes = HeaderChanges(Asset, Context.QueryVector, SegmentTrack::Audio, 0, Variant.SegmentDuration);
    auto const Session = std::make_shared<AudioSession>(Variant);
    Session->SetEncryption(MakeProtectionSettings(Asset, KeyTrack::Audio, Changes));
    auto Key = SegmentKey::AudioHeader(Variant, Asset);
    Key.AddChanges(Asset, Changes, KeyTrack::Audio);
    if(auto* Record = Context.Record.get())
    {
        Record->Track = RequestTrack::Audio;
        Record->Variant = Row;
    }
    MediaBodyAnswer Answer{"audio/mp4", Key.EntityTag()};
    Answer.FileName = StringFormat("audio-header-v%u.mp4", Row);
    Serve(Context, Key, std::move(Answer), false, m_Work.GetAudioTasks(), [Session](SegmentProduction& Production) { MakeWhole(Production, *Session); }, true);
}

void MediaRoutes::AudioBody(RouteContext& Context)
{
    auto const& Query = Context.QueryVector;
    auto const Ad = AdAssets::Of(*Context.Asset, Query);
    auto const& Asset = Ad ? *Ad : *Context.Asset;
    auto const Row = static_cast<std::uint32_t>(Asset.VariantSet.AudioRowOf(Query));
    auto const Index = SegmentIndexFromQuery(Query, Asset, SegmentTrack::Audio);
    CHECK_CONDITION(Index.has_value(), FailureCode::AudioBodyIndexMissing);
    auto const& Variant = Asset.VariantSet.AudioVariants[Row];
    auto const FileName = StringFormat("audio-body-v%u-p%u-i%u.mp4", Row, PeriodNumber(Query), ResponseFileSegmentNumber(Query, *Index));
    ServeSegment(Context,
                 {FaultTrack::Audio, Row, *Index, PartOf(Query), AudioSegment(Asset, Variant, *Index), FragmentSchedule::ForAudio(Variant, *Index, Asset.BaseLiveTime),
                  PartLayout::ForAudio(Variant, Asset.PartDuration), Timeline::TargetDuration(Asset.AudioTargetDuration, Variant.SegmentDuration),
                  {"audio/mp4", {}, MediaBodyAnswer::Immutable, FileName}, Variant.SegmentDuration,
                  [this, &Asset, &Variant](std::uint32_t Other) { return AudioSegment(Asset, Variant, Other); }},
                 m_Work.GetAudioTasks());
}

MediaRoutes::SegmentMaking MediaRoutes::AudioSegment(Configuration const& Asset, AudioVariant const& Variant, std::uint32_t Index) const
{
    auto const Changes = Asset.Changes.At(static_cast<std::int64_t>(Index) * Variant.SegmentDuration);
    auto const Session = std::make_shared<AudioSession>(Variant, Index);
    Session->SetMarkerTone(Asset.FrameCode);
    Session->SetEncryption(MakeProtectionSettings(Asset, KeyTrack::Audio, Changes));
    if(!Asset.Changes.Empty())
        Session->SetTimeOrigin(Changes.Origin);
    auto Key = SegmentKey::AudioBody(Variant, Index, Asset.FrameCode, Asset);
    Key.AddChanges(Asset, Changes, KeyTrack::Audio);
    // An ad sounds its own tone in every language.
    if(Asset.Advert)
    {
        Session->SetAdvert(Asset.Advert->Number);
        Key.AddAdvertTone(Asset.Advert->Number);
    }
    else if(Variant.Voice)
        Key.AddVoice(Variant.Language, *Variant.Voice);
    return {std::move(Key), [Session](SegmentProduction& Production) { Stream(Production, *Session); }};
}

void MediaRoutes::VideoFile(RouteContext& Context)
{
    auto const& Variants = m_Context.Settings.DefaultVariants.H264.VideoVariants;
    CHECK_LINE(!Variants.empty());
    auto const& Variant = Variants.front();
    auto const Key = SegmentKey::File("video.mp4", "");
    MediaBodyAnswer Answer{StringFormat("video/mp4; codecs=\"%s\"", Variant.Codecs.c_str()), Key.EntityTag(), RevalidateEachTime, "video.mp4"};
    Serve(Context, Key, std::move(Answer), false, m_Work.GetVideoTasks(), [&Video = m_Work.GetVideoContext(), Variant](SegmentProduction& Production) {
        VideoSession Header(Video, Variant);
        MakeWhole(Production, Header);
        for(std::uint32_t Index = 0; Index < SegmentCount(VideoFileDuration, Variant.SegmentDuration); ++Index)
        {
            VideoSession Segment(Video, Variant, Index);
            MakeWhole(Production, Segment);
        }
    });
}

void MediaRoutes::AudioFile(RouteContext& Context)
{
    auto const Asset = Configuration::ForAudioFile(Context.QueryVector, m_Context.Settings.DefaultVariants.H264.AudioVariants);
    CHECK_ARGUMENT(*Asset.Duration <= std::int64_t{MaximalAudioFileSeconds} * TimeUnitsPerSecond);
    CHECK_LINE(!Asset.VariantSet.AudioVariants.empty());
    auto const& Variant = Asset.VariantSet.AudioVariants.front();
    auto const Key = SegmentKey::File("audio.mp4", SegmentKey::AudioHeader(Variant, Asset).Text());
    // The codecs text depends on the codec alone, learned at start-up.
    MediaBodyAnswer Answer{StringFormat("audio/mp4; codecs=\"%s\"", m_Work.GetCodecsProbe().ProbeAudio(Variant).c_str()), Key.EntityTag(),
                           RevalidateEachTime, "audio.mp4"};
    Serve(Context, Key, std::move(Answer), false, m_Work.GetAudioTasks(), [Variant](SegmentProduction& Production) {
        AudioSession Header(Variant);
        MakeWhole(Production, Header);
        for(std::uint32_t Index = 0; Index < SegmentCount(*Variant.Duration, Variant.SegmentDuration); ++Index)
        {
            AudioSession Segment(Variant, Index);
            MakeWhole(Production, Segment);
        }
    });
}

void MediaRoutes::Serve(RouteContext& Context, SegmentKey const& Key, MediaBodyAnswer Answer, bool Streams, SegmentTaskGroup& Group,
                        SegmentProduction::Producer Make, bool Urgent)
{
    auto const Outcome = m_Work.GetProductions().Serve(Context.Request, Context.Response, Key, std::move(Answer), Streams, Group, Urgent, std::move(Make));
    if(Context.Record)
        Context.Record->Cache = Outcome;
}

void MediaRoutes::ServeSegment(RouteContext& Context, SegmentRequest Request, SegmentTaskGroup& Group)
{
    Request.Answer.EntityTag = Request.Segment.Key.EntityTag();
    if(auto* Record = Context.Record.get())
    {
        Record->Track = Request.Track == FaultTrack::Video ? RequestTrack::Video : RequestTrack::Audio;
        Record->Variant = Request.Variant;
        Record->Segment = Request.Index;
        if(Request.Part && *Request.Part >= 0)
            Record->Part = static_cast<std::uint32_t>(*Request.Part);
    }
    if(FaultGate::Segment(Context, Request.Track, Request.Variant, Request.Index))
        return;
    if(Request.Part)
        ServePart(Context, Request, Group);
    else if(Request.KeyPicture)
        ServeKeyPicture(Context, Request, Group);
    else if(LiveSegmentGate::Admit(Context, *Context.Asset, Request.Schedule))
        Serve(Context, Request.Segment.Key, std::move(Request.Answer), true, Group, std::move(Request.Segment.Make));
    else
        return;
    if(!Context.IsHead())
        ReadAhead(Context, Request, Group);
}

void MediaRoutes::ReadAhead(RouteContext& Context, SegmentRequest const& Request, SegmentTaskGroup& Group)
{
    auto const Track = Request.Track == FaultTrack::Video ? SegmentTrack::Video : SegmentTrack::Audio;
    std::uint32_t const Count = Request.SegmentDuration < ShortSegmentDuration ? 2 : 1;
    for(std::uint32_t Ahead = 1; Ahead <= Count; ++Ahead)
    {
        std::uint64_t const Index = std::uint64_t{Request.Index} + Ahead;
        if(Index > UINT32_MAX || !AssetHasSegment(*Context.Asset, Track, Request.Variant, static_cast<std::uint32_t>(Index)))
            return;
        auto Making = Request.MakingOf(static_cast<std::uint32_t>(Index));
        m_Work.GetProductions().ReadAhead(Context.Response->GetExecutor(), Making.Key, Group, std::move(Making.Make));
    }
}

void MediaRoutes::ServePart(RouteContext& Context, SegmentRequest const& Request, SegmentTaskGroup& Group)
{
    auto const& Asset = *Context.Asset;
    CHECK_CONDITION(*Request.Part >= 0 && static_cast<std::uint32_t>(*Request.Part) < Request.Layout.PartCount(Request.Index), FailureCode::PartInvalid);
    auto const Part = static_cast<std::uint32_t>(*Request.Part);
    auto const Span = Request.Layout.Part(Request.Index, Part);
    auto const Answerer = FragmentsAnswer(Context, Request, Request.Segment.Key.ForPart(Part), Span, StringFormat("-part%u.mp4", Part));
    if(!Answerer)
        return;
    // A live part is held until its last frame is due; with "now" the
    // request is answered as of that time, whose bytes are the same.
    std::optional<std::int64_t> Due;
    if(Asset.Live && !Context.GivenTime)
        if(std::int64_t const Time = Asset.BaseLiveTime + Span.Available, Now = SystemAbsoluteTime(); Time > Now)
        {
            CHECK_CONDITION(Time - Now <= PartHoldTargets * Request.TargetDuration, FailureCode::PartTooFarAhead);
            Due = Time;
        }
    if(Due && !m_HeldParts.Hold(Context.Response, *Due, [Answerer] { Answerer->MarkDue(); }))
    {
        AnswerUnavailable(*Context.Response, "Too many requests are waiting for their parts");
        return;
    }
    // Made now even when held, so that the part is ready when it is due.
    ObserveSegment(Context, Request, Group, *Answerer);
    if(!Due)
        Answerer->MarkDue();
}

void MediaRoutes::ServeKeyPicture(RouteContext& Context, SegmentRequest const& Request, SegmentTaskGroup& Group)
{
    // Cut from the segment's making or its cache entry, never encoded apart:
    // the same bytes as the segment's start, due as soon as they are made.
    PartSpan Span;
    Span.FrameCount = 1;
    auto const Answerer = FragmentsAnswer(Context, Request, Request.Segment.Key.ForKeyPicture(), Span, "-iframe.mp4");
    if(!Answerer)
        return;
    ObserveSegment(Context, Request, Group, *Answerer);
    Answerer->MarkDue();
}

std::shared_ptr<PartAnswer> MediaRoutes::FragmentsAnswer(RouteContext& Context, SegmentRequest const& Request, SegmentKey const& Key, PartSpan const& Span,
                                                         std::string const& FileSuffix)
{
    auto Answer = Request.Answer;
    Answer.EntityTag = Key.EntityTag();
    Answer.FileName = Answer.FileName.substr(0, Answer.FileName.size() - 4) + FileSuffix;
    Answer.TakeConditions(Context.Request);
    if(Answer.IsNotModified())
    {
        Answer.SendNotModified(*Context.Response);
        if(Context.Record)
            Context.Record->Cache = CacheOutcome::Revalidated;
        return nullptr;
    }
    return std::make_shared<PartAnswer>(m_Context, Context.Response, std::move(Answer), Span);
}

void MediaRoutes::ObserveSegment(RouteContext& Context, SegmentRequest const& Request, SegmentTaskGroup& Group, PartAnswer& Answerer)
{
    auto const Outcome = m_Work.GetProductions().Observe(Context.Response->GetExecutor(), Request.Segment.Key, Group, Request.Segment.Make, Answerer.Observer());
    if(Context.Record)
        Context.Record->Cache = Outcome;
}
} // namespace Application
