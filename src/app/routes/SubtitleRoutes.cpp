// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/routes/SubtitleRoutes.h"

#include "app/answers/MediaBodyAnswer.h"
#include "app/answers/WholeAnswer.h"
#include "app/faults/FaultGate.h"
#include "app/live/FragmentSchedule.h"
#include "app/live/LiveSegmentGate.h"
#include "base/Check.h"
#include "base/FailureCodes.h"
#include "base/StringFormat.h"
#include "mp4/Mp4TextSegments.h"
#include "presentation/SegmentIndex.h"
#include "presentation/SubtitleTrack.h"
#include "presentation/WebVttWriter.h"

namespace Application
{
namespace
{
Mp4::TextTrackSettings TrackSettings(Configuration const& Asset, std::string const& Language)
{
    Mp4::TextTrackSettings Settings;
    Settings.Format = Asset.SubtitleCarriage == SubtitleFormat::Stpp ? Mp4::TextSampleFormat::Stpp : Mp4::TextSampleFormat::Wvtt;
    Settings.TrackId = 1;
    Settings.Timescale = SubtitleRoutes::Mp4Timescale;
    Settings.Language = Language;
    return Settings;
}

WholeAnswer SegmentAnswer(char const* ContentType, std::string FileName)
{
    WholeAnswer Answer{ContentType, true, std::move(FileName)};
    Answer.CacheControl = MediaBodyAnswer::Immutable;
    Answer.Tagged = true;
    return Answer;
}
} // namespace

SubtitleRoutes::SubtitleRoutes(ServerContext&, RouteTable& Table, Clock Now) : m_Clock(std::move(Now))
{
    Table.AddAssetRoute("subtitles.vtt", [this](RouteContext& Request) { WebVttSegment(Request); });
    Table.AddAssetRoute("subtitles-header.mp4", [this](RouteContext& Request) { Header(Request); });
    Table.AddAssetRoute("subtitles-body.mp4", [this](RouteContext& Request) { Body(Request); });
}

std::optional<std::uint32_t> SubtitleRoutes::Admit(RouteContext& Context, std::string const& Language)
{
    auto const& Asset = *Context.Asset;
    auto const& Row = SubtitleTrack::VideoRow(Asset);
    // The video's numbers: the same segments exist.
    auto const Index = SegmentIndexFromQuery(Context.QueryVector, Asset, SegmentTrack::Video, Row.Index);
    CHECK_CONDITION(Index.has_value(), FailureCode::SegmentNumberMalformed);
    auto const Position = SubtitleTrack::Position(Asset, Language);
    if(auto* Record = Context.Record.get())
    {
        Record->Track = RequestTrack::Text;
        Record->Variant = Position;
        Record->Segment = *Index;
    }
    if(FaultGate::Segment(Context, FaultTrack::Text, Position, *Index))
        return std::nullopt;
    // On the video's schedule: refused before it is offered, paced while
    // its pictures are made (the one fragment goes with the first of them).
    if(!LiveSegmentGate::Admit(Context, Asset, FragmentSchedule::ForVideo(Row, *Index, Asset.BaseLiveTime), m_Clock))
        return std::nullopt;
    return Index;
}

void SubtitleRoutes::WebVttSegment(RouteContext& Context)
{
    auto const& Asset = *Context.Asset;
    auto const& Language = SubtitleTrack::LanguageFromQuery(Context.QueryVector, Asset, false);
    auto const Index = Admit(Context, Language);
    if(!Index)
        return;
    SegmentAnswer("text/vtt; charset=utf-8", StringFormat("subtitles-%s-i%u.vtt", Language.c_str(), *Index + 1))
        .Send(Context, SubtitleTrack::WebVttSegment(Asset, Language, *Index));
}

void SubtitleRoutes::Header(RouteContext& Context)
{
    auto const& Asset = *Context.Asset;
    auto const& Language = SubtitleTrack::LanguageFromQuery(Context.QueryVector, Asset, true);
    if(auto* Record = Context.Record.get())
    {
        Record->Track = RequestTrack::Text;
        Record->Variant = SubtitleTrack::Position(Asset, Language);
    }
    SegmentAnswer("application/mp4", StringFormat("subtitles-header-%s.mp4", Language.c_str()))
        .Send(Context, Mp4::WriteTextInitializationSegment(TrackSettings(Asset, Language)));
}

void SubtitleRoutes::Body(RouteContext& Context)
{
    auto const& Asset = *Context.Asset;
    auto const& Language = SubtitleTrack::LanguageFromQuery(Context.QueryVector, Asset, true);
    auto const Index = Admit(Context, Language);
    if(!Index)
        return;
    auto const Settings = TrackSettings(Asset, Language);
    auto const Made = SubtitleTrack::SegmentOf(Asset, Language, *Index);
    std::int64_t const Start = Made.Start, End = Made.End;
    // Fragments are numbered by segment, from 1.
    std::uint32_t const Sequence = *Index + 1;
    std::vector<std::uint8_t> Bytes;
    if(Settings.Format == Mp4::TextSampleFormat::Stpp)
        Bytes = Mp4::WriteStppSegment(Settings, Sequence, Start, End, SubtitleTrack::ImscSegment(Asset, Language, *Index));
    else
    {
        std::vector<Mp4::TextCue> Cues;
        for(auto const& Cue : Made.Cues)
            Cues.push_back({Cue.Start, Cue.End, Cue.Text, WebVttWriter::CueSettings(Asset.SubtitlesAtTop), WebVttWriter::CueIdentifier(Cue)});
        Bytes = Mp4::WriteWvttSegment(Settings, Sequence, Start, End, Cues);
    }
    SegmentAnswer("application/mp4", StringFormat("subtitles-body-%s-p%u-i%u.mp4", Language.c_str(), PeriodNumberFromQuery(Context.QueryVector),
                                                  ResponseFileSegmentNumber(Context.QueryVector, *Index)))
        .Send(Context, std::move(Bytes));
}
} // namespace Application
