// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/answers/WholeAnswer.h"

#include "app/answers/CrossOriginHeaders.h"
#include "app/answers/EntityTagOf.h"
#include "http/EntityTag.h"

namespace Application
{
void WholeAnswer::Send(RouteContext& Context, std::string Body) const
{
    if(!Tagged)
    {
        Send(Context.Server, *Context.Response, std::move(Body));
        return;
    }
    std::string const Tag = EntityTagOf(Body);
    if(SendNotModified(Context, Tag))
        return;
    auto& Response = *Context.Response;
    Prepare(Context.Server, Response, Body.data(), Body.size());
    Response.SetKnownHeader(HttpServer::KnownHeader::ETag, Tag);
    Response.AddEntityChunk(std::move(Body));
    Response.Send();
}

void WholeAnswer::Send(RouteContext& Context, SharedBytes Body, std::string const& Tag) const
{
    if(Tagged && SendNotModified(Context, Tag))
        return;
    auto& Response = *Context.Response;
    Prepare(Context.Server, Response, Body->data(), Body->size());
    if(Tagged)
        Response.SetKnownHeader(HttpServer::KnownHeader::ETag, Tag);
    Response.AddEntityChunk(std::move(Body));
    Response.Send();
}

bool WholeAnswer::SendNotModified(RouteContext& Context, std::string const& Tag) const
{
    if(!HttpServer::EntityTag::NoneMatchHolds(Context.Request.GetListHeader("If-None-Match"), Tag))
        return false;
    auto& Response = *Context.Response;
    Response.SetStatus(304, "Not Modified");
    AddFields(Response);
    Response.SetKnownHeader(HttpServer::KnownHeader::ETag, Tag);
    Response.Send();
    return true;
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

void WholeAnswer::Send(ServerContext& Server, HttpServer::Response& Response, SharedBytes Body) const
{
    Prepare(Server, Response, Body->data(), Body->size());
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
    AddFields(Response);
}

void WholeAnswer::AddFields(HttpServer::Response& Response) const
{
    Response.SetKnownHeader(HttpServer::KnownHeader::ContentType, ContentType);
    if(CrossOrigin)
        AddCrossOriginHeaders(Response);
    if(!CacheControl.empty())
        Response.SetKnownHeader(HttpServer::KnownHeader::CacheControl, CacheControl);
}
} // namespace Application
