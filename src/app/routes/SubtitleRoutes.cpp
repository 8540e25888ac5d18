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
// The saved file's name: the segment's, and the part's after it.
std::string PartSuffix(std::optional<std::uint32_t> Part)
{
    return Part ? StringFormat("-part%u", *Part) : std::string();
}

} // namespace

SubtitleRoutes::SubtitleRoutes(ServerContext&, RouteTable& Table, Clock Now) : m_Clock(std::move(Now))
{
    Table.AddAssetRoute("subtitles.vtt", [this](RouteContext& Request) { WebVttSegment(Request); });
    Table.AddAssetRoute("subtitles-header.mp4", [this](RouteContext& Request) { Header(Request); });
    Table.AddAssetRoute("subtitles-body.mp4", [this](RouteContext& Request) { Body(Request); });
}

std::optional<SubtitleRoutes::Piece> SubtitleRoutes::Admit(RouteContext& Context, std::string const& Language)
{
    auto const& Asset = *Context.Asset;
    auto const& Row = SubtitleTrack::VideoRow(Asset);
    // The video's numbers: the same segments exist.
    auto const Index = SegmentIndexFromQuery(Context.QueryVector, Asset, SegmentTrack::Video, Row.Index);
    CHECK_CONDITION(Index.has_value(), FailureCode::SegmentNumberMalformed);
    Piece Asked{*Index, std::nullopt};
    auto Schedule = FragmentSchedule::ForVideo(Row, *Index, Asset.BaseLiveTime);
    if(auto const Part = PartNumberFromQuery(Context.QueryVector); Part >= 0)
    {
        auto const Layout = SubtitleTrack::Parts(Asset);
        CHECK_CONDITION(static_cast<std::uint32_t>(Part) < Layout.PartCount(*Index), FailureCode::PartInvalid);
        Asked.Part = static_cast<std::uint32_t>(Part);
        Schedule = Schedule.From(Layout.Part(*Index, *Asked.Part).FirstFrame);
    }
    auto const Position = SubtitleTrack::Position(Asset, Language);
    if(auto* Record = Context.Record.get())
    {
        Record->Track = RequestTrack::Text;
        Record->Variant = Position;
        Record->Segment = *Index;
        if(Asked.Part)
            Record->Part = *Asked.Part;
    }
    if(FaultGate::Segment(Context, FaultTrack::Text, Position, *Index))
        return std::nullopt;
    // On the video's schedule: refused before it is offered, paced while
    // its pictures are made (the one fragment goes with the first of them).
    if(!LiveSegmentGate::Admit(Context, Asset, Schedule, m_Clock))
        return std::nullopt;
    return Asked;
}

void SubtitleRoutes::WebVttSegment(RouteContext& Context)
{
    auto const& Asset = *Context.Asset;
    auto const& Language = SubtitleTrack::LanguageFromQuery(Context.QueryVector, Asset, false);
    auto const Asked = Admit(Context, Language);
    if(!Asked)
        return;
    SegmentAnswer("text/vtt; charset=utf-8", StringFormat("subtitles-%s-i%u%s.vtt", Language.c_str(), Asked->Index + 1, PartSuffix(Asked->Part).c_str()))
        .Send(Context, SubtitleTrack::WebVttSegment(Asset, Language, Asked->Index, Asked->Part));
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
    auto const Asked = Admit(Context, Language);
    if(!Asked)
        return;
    auto const Settings = TrackSettings(Asset, Language);
    auto const Made = SubtitleTrack::SegmentOf(Asset, Language, Asked->Index, Asked->Part);
    std::int64_t const Start = Made.Start, End = Made.End;
    // Fragments are numbered by segment, from 1; a part is a fragment of its segment's number.
    std::uint32_t const Sequence = Asked->Index + 1;
    std::vector<std::uint8_t> Bytes;
    if(Settings.Format == Mp4::TextSampleFormat::Stpp)
        Bytes = Mp4::WriteStppSegment(Settings, Sequence, Start, End, SubtitleTrack::ImscSegment(Asset, Language, Asked->Index, Asked->Part));
    else
    {
        std::vector<Mp4::TextCue> Cues;
        for(auto const& Cue : Made.Cues)
            Cues.push_back({Cue.Start, Cue.End, Cue.Text, WebVttWriter::CueSettings(Asset.SubtitlesAtTop), WebVttWriter::CueIdentifier(Cue)});
        Bytes = Mp4::WriteWvttSegment(Settings, Sequence, Start, End, Cues);
    }
    SegmentAnswer("application/mp4", StringFormat("subtitles-body-%s-p%u-i%u%s.mp4", Language.c_str(), PeriodNumberFromQuery(Context.QueryVector),
                                                  ResponseFileSegmentNumber(Context.QueryVector, Asked->Index), PartSuffix(Asked->Part).c_str()))
        .Send(Context, std::move(Bytes));
}
} // namespace Application
