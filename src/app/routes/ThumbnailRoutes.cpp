// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/routes/ThumbnailRoutes.h"

#include "app/live/LiveSegmentGate.h"
#include "app/production/BreakNoticesOf.h"
#include "base/Check.h"
#include "base/FailureCodes.h"
#include "base/StringFormat.h"
#include "media/VideoMediaSource.h"
#include "presentation/QueryNumbers.h"
#include "presentation/SegmentIndex.h"
#include "presentation/ThumbnailTrack.h"

namespace Application
{
namespace
{
// What every picture of the tile shows alike.
VideoFrameComposer::Parameters CommonSettings(Configuration const& Asset, std::uint32_t Colour, std::vector<BreakNotice> Notices)
{
    VideoFrameComposer::Parameters Settings;
    Settings.BoxColor = Colour;
    if(Asset.Live)
        Settings.BaseLiveTime = Asset.BaseLiveTime;
    if(Asset.FrameCode)
        Settings.FrameCode = FrameCodeIdentity{Asset.Asset, ThumbnailTrack::SourceRow(Asset).Index};
    // The notices of the whole tile: a picture's countdown depends on its
    // time alone, whatever other breaks the list holds.
    Settings.BreakNotices = std::move(Notices);
    Settings.Surround = Asset.Surround();
    return Settings;
}

std::vector<BreakNotice> TileNotices(Configuration const& Asset, std::uint32_t Index)
{
    std::int64_t const Duration = Asset.Thumbnails->TileDuration();
    return BreakNoticesOf(Asset, Index * Duration, (Index + 1) * Duration);
}
} // namespace

ThumbnailRoutes::ThumbnailRoutes(ServerContext&, RouteTable& Table, MediaWork& Work) : m_Work(Work)
{
    Table.AddAssetRoute("thumbs.jpg", [this](RouteContext& Request) { Tile(Request); });
}

std::vector<ThumbnailTilePainter::Shot> ThumbnailRoutes::ShotsOf(Configuration const& Asset, std::uint32_t Index, std::uint32_t Colour)
{
    auto const& Layout = *Asset.Thumbnails;
    auto const& Row = ThumbnailTrack::SourceRow(Asset);
    auto const Common = CommonSettings(Asset, Colour, TileNotices(Asset, Index));
    std::vector<ThumbnailTilePainter::Shot> Shots;
    std::optional<std::uint32_t> Epoch;
    for(std::uint32_t Position = 0; Position < Layout.Count(); ++Position)
    {
        std::int64_t const Time = static_cast<std::int64_t>(Index) * Layout.TileDuration() + Position * Layout.Interval;
        // As the segment that holds the instant makes its pictures.
        std::int64_t const SegmentStart = Time / Row.SegmentDuration * Row.SegmentDuration;
        auto const State = Asset.Changes.At(SegmentStart);
        if(!Epoch || *Epoch != State.Number)
        {
            auto const Variant = Asset.VideoVariantAt(Row, State);
            auto Settings = std::make_shared<VideoFrameComposer::Parameters>(Common);
            Settings->Width = Variant.FrameSizeW;
            Settings->Height = Variant.FrameSizeH;
            Settings->RateN = Variant.FrameRateN;
            Settings->RateD = Variant.FrameRateD;
            if(!Asset.Changes.Empty())
                Settings->Change = ChangeNotice{State.Number, Asset.Changes.Describe(SegmentStart, Variant)};
            Shots.push_back({std::move(Settings), Time});
            Epoch = State.Number;
        }
        else
            Shots.push_back({Shots.back().Picture, Time});
    }
    return Shots;
}

void ThumbnailRoutes::Tile(RouteContext& Context)
{
    auto const& Asset = *Context.Asset;
    auto const& Query = Context.QueryVector;
    if(!Asset.Thumbnails)
        ThrowCheckFailure(FailureCode::ThumbnailsAbsent, TRACE_CONTEXT(), "Asset.Thumbnails",
                          StringFormat("Asset %u has no thumbnails: its manifest was asked for without \"thumbs\"", Asset.Asset));
    auto const Index = SegmentIndexFromQuery(Query, Asset, SegmentTrack::Image);
    CHECK_CONDITION(Index.has_value(), FailureCode::SegmentNumberMalformed);
    if(auto* Record = Context.Record.get())
        Record->Segment = *Index;
    std::int64_t const Duration = Asset.Thumbnails->TileDuration();
    if(!LiveSegmentGate::AdmitComplete(Context, Asset, Asset.BaseLiveTime + (*Index + std::int64_t{1}) * Duration))
        return;
    auto const& Row = ThumbnailTrack::SourceRow(Asset);
    auto const Color = QueryInteger(Query, "color");
    std::uint32_t const Colour = Color ? VideoMediaSource::ChosenColor(*Color) : VideoMediaSource::VariantColor(Row.Index);
    auto const Key = SegmentKey::ThumbnailTile(Row, *Asset.Thumbnails, ThumbnailTrack::ThumbnailHeight(Asset), *Index, Colour, TileNotices(Asset, *Index), Asset);
    MediaBodyAnswer Answer{"image/jpeg", Key.EntityTag(), MediaBodyAnswer::Immutable,
                           StringFormat("thumbs-p%u-i%u.jpg", PeriodNumberFromQuery(Query), ResponseFileSegmentNumber(Query, *Index))};
    auto const& Layout = *Asset.Thumbnails;
    auto Make = [Shots = ShotsOf(Asset, *Index, Colour), Layout, Height = ThumbnailTrack::ThumbnailHeight(Asset)](SegmentProduction& Production) {
        ThumbnailTilePainter Painter(Layout.Columns, Layout.Rows, ThumbnailLayout::ThumbnailWidth, Height);
        for(std::uint32_t Position = 0; Position < Shots.size(); ++Position)
            Painter.Paint(Position, Shots[Position]);
        Production.Append({std::make_shared<std::vector<std::uint8_t> const>(Painter.Encode(ThumbnailTrack::Quality))});
    };
    auto const Outcome = m_Work.GetProductions().Serve(Context.Request, Context.Response, Key, std::move(Answer), false, m_Work.GetVideoTasks(), false,
                                                       std::move(Make));
    if(Context.Record)
        Context.Record->Cache = Outcome;
}
} // namespace Application
