// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/MediaRoutes.h"

#include "app/WholeAnswer.h"
#include "base/Trace.h"
#include "base/Check.h"
#include "base/FailureCodes.h"
#include "base/StringFormat.h"
#include "media/AudioSession.h"
#include "media/MulDiv.h"
#include "media/VideoMediaSource.h"
#include "media/VideoSession.h"
#include "presentation/QueryNumbers.h"
#include "presentation/SegmentIndex.h"

namespace Application
{
namespace
{
// "color" picks one of the first three box colours, whatever its sign.
std::uint32_t OverrideColor(std::int32_t Value)
{
    constexpr std::int32_t Count = 3;
    return VideoMediaSource::BackgroundColors[((Value % Count) + Count) % Count];
}

// The period number of a saved segment's file name, 0 without "period".
unsigned PeriodNumber(HttpServer::QueryVector const& Query)
{
    return static_cast<unsigned>(QueryInteger(Query, "period").value_or(0));
}

std::uint32_t SegmentCount(std::int64_t Duration, std::int64_t SegmentDuration)
{
    return static_cast<std::uint32_t>(MulDivCeiling(Duration, 1, SegmentDuration));
}

void Append(std::vector<std::uint8_t>& Body, MediaAnswer& Answer, SegmentSession& Session)
{
    Answer.RunSession(Session);
    auto const& Output = Session.GetOutput();
    Body.insert(Body.end(), Output.begin(), Output.end());
}

AudioVariant const& FirstAudioVariant(Configuration const& Asset)
{
    CHECK_LINE(!Asset.VariantSet.AudioVariants.empty());
    return Asset.VariantSet.AudioVariants.front();
}
} // namespace

MediaRoutes::MediaRoutes(ServerContext& Context, RouteTable& Table) :
    m_Context(Context), m_VideoContext(Context.Settings.AdapterIndex, SegmentTaskGroup::ProcessorShare(SegmentTaskGroup::DefaultWorkerCount()))
{
    // Manifests ask for the codecs text of their audio row on the request
    // loop: every audio codec is learned here, before the first request.
    for(auto const& Variant : Context.Settings.DefaultVariants.H264.AudioVariants)
    {
        m_CodecsProbe.ProbeAudio(Variant);
        m_CodecsProbe.ProbeAudio(Variant.FlacAlternative());
    }
    Table.AddRoute("video.mp4", [this](RouteContext& Request) { VideoFile(Request); });
    Table.AddRoute("audio.mp4", [this](RouteContext& Request) { AudioFile(Request); });
    Table.AddAssetRoute("video-header.mp4", [this](RouteContext& Request) { VideoHeader(Request); });
    Table.AddAssetRoute("video-body.mp4", [this](RouteContext& Request) { VideoBody(Request); });
    Table.AddAssetRoute("audio-header.mp4", [this](RouteContext& Request) { AudioHeader(Request); });
    Table.AddAssetRoute("audio-body.mp4", [this](RouteContext& Request) { AudioBody(Request); });
}

MediaRoutes::~MediaRoutes() = default;

void MediaRoutes::Stop()
{
    std::size_t const Dropped = m_VideoTasks.DropWaiting() + m_AudioTasks.DropWaiting();
    TRACE("Dropped %zu media tasks that had not started\n", Dropped);
}

void MediaRoutes::VideoHeader(RouteContext& Context)
{
    auto const& Asset = *Context.Asset;
    VideoVariant Variant;
    CHECK_CONDITION(Asset.VariantSet.ParseVideoVariant(Context.QueryVector, Variant), FailureCode::VideoHeaderVariant);
    auto const Session = std::make_shared<VideoSession>(m_VideoContext, Variant);
    Session->SetEncryption(Asset.EncryptionScheme, Asset.Key, Asset.InitializationVector);
    auto FileName = StringFormat("video-header-v%u.mp4", Variant.Index);
    Submit(m_VideoTasks, Context, std::move(FileName), [Session](MediaAnswer& Answer) {
        Answer.RunSession(*Session);
        Answer.SendWhole({"video/mp4", true}, std::move(Session->GetOutput()));
    }, true);
}

void MediaRoutes::VideoBody(RouteContext& Context)
{
    auto const& Asset = *Context.Asset;
    auto const& Query = Context.QueryVector;
    VideoVariant Variant;
    CHECK_CONDITION(Asset.VariantSet.ParseVideoVariant(Query, Variant), FailureCode::VideoBodyVariant);
    auto const Index = SegmentIndexFromQuery(Query);
    CHECK_CONDITION(Index.has_value(), FailureCode::VideoBodyIndexMissing);
    auto const Session = std::make_shared<VideoSession>(m_VideoContext, Variant, *Index);
    if(auto const Color = QueryInteger(Query, "color"))
        Session->SetBackgroundColor(OverrideColor(*Color));
    if(Asset.Live)
        Session->SetBaseLiveTime(Asset.BaseLiveTime);
    if(Asset.FrameCode)
        Session->SetFrameCode(Asset.Asset);
    Session->SetEncryption(Asset.EncryptionScheme, Asset.Key, Asset.InitializationVector);
    auto FileName = StringFormat("video-body-v%u-p%u-i%u.mp4", Variant.Index, PeriodNumber(Query), *ResponseFileSegmentNumber(Query));
    Submit(m_VideoTasks, Context, std::move(FileName), [Session](MediaAnswer& Answer) { Answer.SendSegment(*Session, "video/mp4"); });
}

void MediaRoutes::AudioHeader(RouteContext& Context)
{
    auto const& Asset = *Context.Asset;
    auto const Session = std::make_shared<AudioSession>(FirstAudioVariant(Asset));
    Session->SetEncryption(Asset.EncryptionScheme, Asset.Key, Asset.InitializationVector);
    Submit(m_AudioTasks, Context, "audio-header-v0.mp4", [Session](MediaAnswer& Answer) {
        Answer.RunSession(*Session);
        Answer.SendWhole({"audio/mp4", true}, std::move(Session->GetOutput()));
    }, true);
}

void MediaRoutes::AudioBody(RouteContext& Context)
{
    auto const& Asset = *Context.Asset;
    auto const& Query = Context.QueryVector;
    auto const Index = SegmentIndexFromQuery(Query);
    CHECK_CONDITION(Index.has_value(), FailureCode::AudioBodyIndexMissing);
    auto const Session = std::make_shared<AudioSession>(FirstAudioVariant(Asset), *Index);
    Session->SetMarkerTone(Asset.FrameCode);
    Session->SetEncryption(Asset.EncryptionScheme, Asset.Key, Asset.InitializationVector);
    auto FileName = StringFormat("audio-body-v0-p%u-i%u.mp4", PeriodNumber(Query), *ResponseFileSegmentNumber(Query));
    Submit(m_AudioTasks, Context, std::move(FileName), [Session](MediaAnswer& Answer) { Answer.SendSegment(*Session, "audio/mp4"); });
}

void MediaRoutes::VideoFile(RouteContext& Context)
{
    auto const& Variants = m_Context.Settings.DefaultVariants.H264.VideoVariants;
    CHECK_LINE(!Variants.empty());
    Submit(m_VideoTasks, Context, "video.mp4", [this, Variant = Variants.front()](MediaAnswer& Answer) {
        std::vector<std::uint8_t> Body;
        VideoSession Header(m_VideoContext, Variant);
        Append(Body, Answer, Header);
        for(std::uint32_t Index = 0; Index < SegmentCount(VideoFileDuration, Variant.SegmentDuration); ++Index)
        {
            VideoSession Segment(m_VideoContext, Variant, Index);
            Append(Body, Answer, Segment);
        }
        Answer.SendWhole({StringFormat("video/mp4; codecs=\"%s\"", Variant.Codecs.c_str()), true}, std::move(Body));
    });
}

void MediaRoutes::AudioFile(RouteContext& Context)
{
    auto const Asset = Configuration::ForAudioFile(Context.QueryVector, m_Context.Settings.DefaultVariants.H264.AudioVariants);
    CHECK_ARGUMENT(*Asset.Duration <= std::int64_t{MaximalAudioFileSeconds} * TimeUnitsPerSecond);
    Submit(m_AudioTasks, Context, "audio.mp4", [Variant = FirstAudioVariant(Asset)](MediaAnswer& Answer) {
        std::vector<std::uint8_t> Body;
        AudioSession Header(Variant);
        Append(Body, Answer, Header);
        for(std::uint32_t Index = 0; Index < SegmentCount(*Variant.Duration, Variant.SegmentDuration); ++Index)
        {
            AudioSession Segment(Variant, Index);
            Append(Body, Answer, Segment);
        }
        Answer.SendWhole({StringFormat("audio/mp4; codecs=\"%s\"", Header.GetCodecsString().c_str()), true}, std::move(Body));
    });
}

void MediaRoutes::Submit(SegmentTaskGroup& Group, RouteContext& Context, std::string FileName, std::function<void(MediaAnswer& Answer)> Task,
                         bool Urgent)
{
    auto Answer = MediaAnswer::Create(m_Context, Context.Response, std::move(FileName));
    Group.Submit([Answer, Task = std::move(Task)] { Answer->Run(Task); }, Urgent);
}
} // namespace Application
