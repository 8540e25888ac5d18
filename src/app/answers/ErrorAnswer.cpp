// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/answers/ErrorAnswer.h"

#include "app/answers/CrossOriginHeaders.h"
#include "app/answers/ErrorBody.h"
#include "base/Trace.h"

namespace Application
{
void AnswerFailure(HttpServer::Response& Response, std::exception const& Failure)
{
    if(Response.IsHeadSent() || Response.IsComplete())
    {
        Response.Abort();
        return;
    }
    Response.SetStatus(400, "Bad Request");
    if(auto const* Error = dynamic_cast<HResultError const*>(&Failure))
    {
        Response.SetKnownHeader(HttpServer::KnownHeader::ContentType, "text/plain; charset=utf-8");
        Response.AddEntityChunk(FormatErrorBody(*Error));
    }
    else
        TRACE("Exception %s\n", Failure.what());
    Response.Send();
}

namespace
{
void SetUnavailableHead(HttpServer::Response& Response)
{
    Response.SetStatus(503, "Service Unavailable");
    Response.SetKnownHeader(HttpServer::KnownHeader::ContentType, "text/plain; charset=utf-8");
    // A player sees the status only when the answer may be shown to its page.
    AddCrossOriginHeaders(Response);
    Response.SetKnownHeader(HttpServer::KnownHeader::CacheControl, "no-store");
}
} // namespace

void AnswerUnavailable(HttpServer::Response& Response, std::string const& Reason)
{
    SetUnavailableHead(Response);
    Response.AddEntityChunk(Reason + "\n");
    Response.Send();
}

void AnswerUnavailable(HttpServer::Response& Response, HResultError const& Failure, std::chrono::seconds RetryAfter)
{
    if(Response.IsHeadSent() || Response.IsComplete())
    {
        Response.Abort();
        return;
    }
    SetUnavailableHead(Response);
    Response.SetKnownHeader(HttpServer::KnownHeader::RetryAfter, std::to_string(RetryAfter.count()));
    Response.AddEntityChunk(FormatErrorBody(Failure));
    Response.Send();
}
} // namespace Application
