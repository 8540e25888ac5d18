// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/live/LiveSegmentGate.h"

#include "app/answers/CrossOriginHeaders.h"
#include "app/live/PacedEdge.h"
#include "base/StringFormat.h"
#include "base/Trace.h"
#include "presentation/DashManifestWriter.h"
#include "presentation/Timeline.h"

namespace Application
{
namespace
{
void RefuseEarly(RouteContext& Context, std::int64_t Offered)
{
    auto& Response = *Context.Response;
    Response.SetStatus(404, "Not Found");
    Response.SetKnownHeader(HttpServer::KnownHeader::ContentType, "text/plain; charset=utf-8");
    // The same URL is answered with media once its time has come.
    Response.SetKnownHeader(HttpServer::KnownHeader::CacheControl, "no-store");
    AddCrossOriginHeaders(Response);
    Response.AddEntityChunk(StringFormat("The segment is available from %s\n", Timeline::FormatProgramDateTime(Offered).c_str()));
    Response.Send();
}
} // namespace

bool LiveSegmentGate::Admit(RouteContext& Context, Configuration const& Asset, FragmentSchedule const& Schedule, Clock const& Now)
{
    if(!Asset.Live || (!Asset.LowLatency && !Asset.Dynamic))
        return true;
    // The regular dynamic manifest offers a segment once it is complete.
    if(Asset.Dynamic)
        return AdmitComplete(Context, Asset, Schedule.End(), Now);
    auto const& Given = Context.GivenTime;
    std::int64_t const Time = Given ? *Given : Now();
    std::int64_t const Offered = Schedule.End() - DashManifestWriter::AvailabilityTimeOffset(Asset);
    if(Time < Offered - DashManifestWriter::LongestSegmentDuration(Asset))
    {
        TRACE("A segment asked for %.3f s before it is available\n", static_cast<double>(Offered - Time) / 1e7);
        RefuseEarly(Context, Offered);
        return false;
    }
    // A HEAD answer has no body to pace.
    if(!Given && Time < Schedule.End() && !Context.IsHead())
        Context.Response->SetEdge(std::make_shared<PacedEdge>(Schedule, Now, Context.Response->GetEdge()));
    return true;
}
bool LiveSegmentGate::AdmitComplete(RouteContext& Context, Configuration const& Asset, std::int64_t End, Clock const& Now)
{
    if(!Asset.Live)
        return true;
    std::int64_t const Time = Context.GivenTime ? *Context.GivenTime : Now();
    if(Time >= End)
        return true;
    TRACE("A segment asked for %.3f s before it is complete\n", static_cast<double>(End - Time) / 1e7);
    RefuseEarly(Context, End);
    return false;
}
} // namespace Application
