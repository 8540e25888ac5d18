// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/LiveSegmentGate.h"

#include "app/CrossOriginHeaders.h"
#include "app/PacedEdge.h"
#include "base/StringFormat.h"
#include "base/Trace.h"
#include "presentation/RequestTime.h"
#include "presentation/Timeline.h"

namespace Application
{
namespace
{
void RefuseEarly(RouteContext& Context, std::int64_t Start)
{
    auto& Response = *Context.Response;
    Response.SetStatus(404, "Not Found");
    Response.SetKnownHeader(HttpServer::KnownHeader::ContentType, "text/plain; charset=utf-8");
    // The same URL is answered with media once its time has come.
    Response.SetKnownHeader(HttpServer::KnownHeader::CacheControl, "no-store");
    AddCrossOriginHeaders(Response);
    Response.AddEntityChunk(StringFormat("The segment begins at %s\n", Timeline::FormatProgramDateTime(Start).c_str()));
    Response.Send();
}
} // namespace

bool LiveSegmentGate::Admit(RouteContext& Context, Configuration const& Asset, FragmentSchedule const& Schedule, Clock const& Now)
{
    if(!Asset.Live || !Asset.LowLatency)
        return true;
    auto const Given = RequestTime::FromQuery(Context.QueryVector);
    std::int64_t const Time = Given ? *Given : Now();
    if(Time < Schedule.Start())
    {
        TRACE("A segment asked for %.3f s before it begins\n", static_cast<double>(Schedule.Start() - Time) / 1e7);
        RefuseEarly(Context, Schedule.Start());
        return false;
    }
    // A HEAD answer has no body to pace.
    if(!Given && Time < Schedule.End() && Context.Request.GetVerb() == HttpServer::Verb::Get)
        Context.Response->SetEdge(std::make_shared<PacedEdge>(Schedule, Now, Context.Response->GetEdge()));
    return true;
}
} // namespace Application
