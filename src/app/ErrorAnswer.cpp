// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/ErrorAnswer.h"

#include "app/ErrorBody.h"
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
} // namespace Application
