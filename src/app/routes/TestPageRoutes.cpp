// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/routes/TestPageRoutes.h"

#include "app/production/MediaAnswer.h"
#include "app/routes/Resources.h"
#include "app/answers/WholeAnswer.h"
#include "base/Check.h"
#include "base/FailureCodes.h"
#include "base/MulDiv.h"
#include "base/StringFormat.h"
#include "media/VideoSession.h"
#include "presentation/Configuration.h"
#include "presentation/QueryNumbers.h"

namespace Application
{
namespace
{
constexpr char const* PageType = "text/html; charset=utf-8";

// The request's query inside a single-quoted script string: every character
// that could end the string or the script element is escaped, so the page
// fetches the query as it came and nothing of it runs.
std::string ScriptStringText(std::string_view Text)
{
    std::string Result;
    for(char const Character : Text)
    {
        auto const Byte = static_cast<unsigned char>(Character);
        if(Byte < 0x20 || Byte >= 0x7F || Character == '\'' || Character == '"' || Character == '\\' || Character == '<' || Character == '>' ||
           Character == '&')
            Result += StringFormat("\\x%02X", Byte);
        else
            Result += Character;
    }
    return Result;
}

// A page that fetches a progressive file whole and plays it through Media
// Source Extensions. Kind is "audio" or "video".
std::string MediaSourcePage(std::string_view Kind, std::string_view Query, std::string const& Codecs)
{
    std::string const Element(Kind);
    std::string Page = "<html><body>";
    Page += StringFormat("<p>%s MIME type: %s/mp4; codecs=\"%s\"</p>", Kind == "audio" ? "Audio" : "Video", Element.c_str(), Codecs.c_str());
    Page += "<" + Element + " controls />";
    Page += "<script>";
    Page += StringFormat("const uri = '%s.mp4%s';", Element.c_str(), ScriptStringText(Query).c_str());
    Page += StringFormat("const mimeType = '%s/mp4; codecs=\"%s\"';", Element.c_str(), Codecs.c_str());
    Page += "if (MediaSource.isTypeSupported(mimeType)) {"
            "const mediaSource = new MediaSource();"
            "const element = document.querySelector('" + Element + "');"
            "element.src = URL.createObjectURL(mediaSource);"
            "mediaSource.addEventListener('sourceopen', async () => {"
            "URL.revokeObjectURL(element.src);"
            "const sourceBuffer = mediaSource.addSourceBuffer(mimeType);"
            "console.log('Fetching " + Element + " file...');"
            "const response = await fetch(uri);"
            "const data = await response.arrayBuffer();"
            "sourceBuffer.addEventListener('updateend', () => {"
            "if (!sourceBuffer.updating && mediaSource.readyState === 'open') {"
            "mediaSource.endOfStream();"
            "console.log('" + std::string(Kind == "audio" ? "Audio" : "Video") + " is ready to play!');"
            "}"
            "});"
            "sourceBuffer.appendBuffer(data);"
            "});"
            "} else {"
            "console.log('MIME type ' + mimeType + ' is not supported on this platform with MSE.');"
            "}";
    Page += "</script>";
    Page += "</body></html>";
    return Page;
}

} // namespace

TestPageRoutes::TestPageRoutes(ServerContext& Context, RouteTable& Table, MediaWork& Work) : m_Context(Context), m_Work(Work)
{
    Table.AddRoute("audio.mp4.html", [this](RouteContext& Request) { AudioPage(Request); });
    Table.AddRoute("video.mp4.html", [this](RouteContext& Request) { VideoPage(Request); });
    Table.AddRoute("webcodecs-videodecoder-A.html", [this](RouteContext& Request) { WebCodecsPage(Request); });
    Table.AddRoute("webcodecs-videodecoder-A", [this](RouteContext& Request) { WebCodecsFrame(Request); });
}

void TestPageRoutes::Stop()
{
    m_PageTasks.DropWaiting();
}

void TestPageRoutes::AudioPage(RouteContext& Context)
{
    auto const Asset = Configuration::ForAudioFile(Context.QueryVector, m_Context.Settings.DefaultVariants.H264.AudioVariants);
    auto const Codecs = m_Work.GetCodecsProbe().ProbeAudio(Asset.VariantSet.AudioVariants.front());
    WholeAnswer{PageType, true}.Send(Context, MediaSourcePage("audio", Context.Request.GetQueryString(), Codecs));
}

void TestPageRoutes::VideoPage(RouteContext& Context)
{
    auto const& Variants = m_Context.Settings.DefaultVariants.H264.VideoVariants;
    CHECK_LINE(!Variants.empty());
    WholeAnswer{PageType, true}.Send(Context, MediaSourcePage("video", Context.Request.GetQueryString(), Variants.front().Codecs));
}

VideoVariant TestPageRoutes::WebCodecsVariant(QueryVector const& Query) const
{
    auto const& Variants = m_Context.Settings.DefaultVariants.H264.VideoVariants;
    auto const Index = static_cast<std::uint32_t>(QueryInteger(Query, "Variant").value_or(0));
    CHECK_CONDITION(Index < Variants.size(), FailureCode::WebCodecsVariantOutOfRange);
    VideoVariant Variant = Variants[Index];
    auto const Width = QueryInteger(Query, "FrameSizeW");
    auto const Height = QueryInteger(Query, "FrameSizeH");
    if(Width && Height)
    {
        Variant.FrameSizeW = static_cast<std::uint32_t>(*Width);
        Variant.FrameSizeH = static_cast<std::uint32_t>(*Height);
    }
    auto const RateN = QueryInteger(Query, "FrameRateN");
    auto const RateD = QueryInteger(Query, "FrameRateD");
    if(RateN && RateD)
    {
        Variant.FrameRateN = static_cast<std::uint32_t>(*RateN);
        Variant.FrameRateD = static_cast<std::uint32_t>(*RateD);
    }
    if(auto const Seconds = QueryInteger(Query, "SegmentDuration"))
        Variant.SegmentDuration = std::int64_t{*Seconds} * TimeUnitsPerSecond;
    // 4:2:0 pictures have even sides.
    CHECK_ARGUMENT(Variant.FrameSizeW >= 2 && Variant.FrameSizeW <= MaximalFrameWidth && Variant.FrameSizeW % 2 == 0);
    CHECK_ARGUMENT(Variant.FrameSizeH >= 2 && Variant.FrameSizeH <= MaximalFrameHeight && Variant.FrameSizeH % 2 == 0);
    CHECK_ARGUMENT(Variant.FrameRateN >= 1 && Variant.FrameRateD >= 1 && Variant.SegmentDuration >= TimeUnitsPerSecond);
    std::int64_t const FrameCount =
        MulDivCeiling(Variant.SegmentDuration, Variant.FrameRateN, std::int64_t{Variant.FrameRateD} * TimeUnitsPerSecond);
    CHECK_ARGUMENT(FrameCount <= MaximalFrameCount);
    return Variant;
}

void TestPageRoutes::WebCodecsPage(RouteContext& Context)
{
    auto const Variant = WebCodecsVariant(Context.QueryVector);
    auto const Session = std::make_shared<VideoSession>(m_Work.GetVideoContext(), Variant, 0);
    Session->SetRaw(true);
    auto const Answer = MediaAnswer::Create(m_Context, Context.Response, "webcodecs-videodecoder-A.html");
    m_PageTasks.Submit([this, Answer, Session, Variant] { Answer->Run([&](MediaAnswer& Answerer) {
        Answerer.RunSession(*Session);
        // Each write of a raw run is one encoded picture.
        auto Frames = std::make_shared<FrameList const>(Session->GetOutputWrites());
        auto Page = ReplacePlaceholders(std::string(Resources::WebCodecsPage()), {{"Codec", Session->GetCodecsString()},
                                                                                  {"FrameSizeW", StringFormat("%u", Variant.FrameSizeW)},
                                                                                  {"FrameSizeH", StringFormat("%u", Variant.FrameSizeH)},
                                                                                  {"FrameRateN", StringFormat("%u", Variant.FrameRateN)},
                                                                                  {"FrameRateD", StringFormat("%u", Variant.FrameRateD)},
                                                                                  {"FrameCount", StringFormat("%zu", Frames->size())}});
        {
            std::lock_guard Lock(m_FramesMutex);
            m_Frames = std::move(Frames);
        }
        Answerer.SendWhole({PageType, true, {}, true}, std::move(Page));
    }); });
}

void TestPageRoutes::WebCodecsFrame(RouteContext& Context)
{
    auto const Frame = QueryInteger(Context.QueryVector, "frame");
    CHECK_CONDITION(Frame.has_value(), FailureCode::FrameMissing);
    auto const Index = static_cast<std::uint32_t>(*Frame);
    std::shared_ptr<FrameList const> Frames;
    {
        std::lock_guard Lock(m_FramesMutex);
        Frames = m_Frames;
    }
    CHECK_CONDITION(Index < Frames->size(), FailureCode::FrameOutOfRange);
    WholeAnswer{"application/octet-stream", true, "webcodecs-videodecoder-A"}.Send(Context, *(*Frames)[Index]);
}
} // namespace Application
