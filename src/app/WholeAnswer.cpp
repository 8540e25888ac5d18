// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/WholeAnswer.h"

#include "app/CrossOriginHeaders.h"

namespace Application
{
void WholeAnswer::Send(RouteContext& Context, std::string Body) const
{
    Send(Context.Server, *Context.Response, std::move(Body));
}

void WholeAnswer::Send(RouteContext& Context, std::vector<std::uint8_t> Body) const
{
    Send(Context.Server, *Context.Response, std::move(Body));
}

void WholeAnswer::Send(ServerContext& Server, HttpServer::Response& Response, std::vector<std::uint8_t> Body) const
{
    Prepare(Server, Response, Body.data(), Body.size());
    Response.AddEntityChunk(std::move(Body));
    Response.Send();
}

void WholeAnswer::Send(ServerContext& Server, HttpServer::Response& Response, std::string Body) const
{
    Prepare(Server, Response, Body.data(), Body.size());
    Response.AddEntityChunk(std::move(Body));
    Response.Send();
}

void WholeAnswer::Prepare(ServerContext& Server, HttpServer::Response& Response, void const* Data, std::size_t Size) const
{
    // The file comes first: when it cannot be written the request fails
    // before anything is sent.
    if(auto const& Writer = Server.PayloadWriter; Writer && !FileName.empty())
    {
        if(DeletePreviousFiles && Server.Settings.DeletePreviousResponseBodies)
            Writer->DeletePrevious();
        Writer->Write({FileName, {}, Data, Size});
    }
    Response.SetStatus(200, "OK");
    Response.SetKnownHeader(HttpServer::KnownHeader::ContentType, ContentType);
    if(CrossOrigin)
        AddCrossOriginHeaders(Response);
}
} // namespace Application
