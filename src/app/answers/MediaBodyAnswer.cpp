// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/answers/MediaBodyAnswer.h"

#include "app/answers/CrossOriginHeaders.h"
#include "base/StringFormat.h"
#include "http/ByteRange.h"
#include "http/EntityTag.h"

namespace Application
{
void MediaBodyAnswer::TakeConditions(HttpServer::Request const& Request)
{
    IfNoneMatch = Request.GetListHeader("If-None-Match");
    Range = Request.GetHeader("Range");
    IfRange = Request.GetHeader("If-Range");
}

bool MediaBodyAnswer::IsNotModified() const
{
    return HttpServer::EntityTag::NoneMatchHolds(IfNoneMatch, EntityTag);
}

void MediaBodyAnswer::AddHeaders(HttpServer::Response& Response) const
{
    using HttpServer::KnownHeader;
    Response.SetKnownHeader(KnownHeader::ContentType, ContentType);
    AddCrossOriginHeaders(Response);
    if(!EntityTag.empty())
        Response.SetKnownHeader(KnownHeader::ETag, EntityTag);
    if(!CacheControl.empty())
        Response.SetKnownHeader(KnownHeader::CacheControl, CacheControl);
    Response.SetKnownHeader(KnownHeader::AcceptRanges, "bytes");
}

void MediaBodyAnswer::SendNotModified(HttpServer::Response& Response) const
{
    Response.SetStatus(304, "Not Modified");
    AddHeaders(Response);
    Response.Send();
}

void MediaBodyAnswer::SendBody(ServerContext& Server, HttpServer::Response& Response, SharedMediaBody const& Body) const
{
    // The file holds the whole body whatever part is sent; it comes first,
    // so that a failure to write it is answered before anything is sent.
    if(auto const& Writer = Server.PayloadWriter; Writer && !FileName.empty())
        Writer->Write(FileName, Body->GetFragments());
    using HttpServer::ByteRange;
    auto const Length = static_cast<std::uint64_t>(Body->GetSize());
    ByteRange Part;
    if(HttpServer::EntityTag::RangeHolds(IfRange, EntityTag))
        Part = ByteRange::Evaluate(Range, Length);
    switch(Part.Result)
    {
    case ByteRange::Outcome::Whole:
        Response.SetStatus(200, "OK");
        AddHeaders(Response);
        for(auto const& Fragment : Body->GetFragments())
            Response.AddEntityChunk(Fragment);
        break;
    case ByteRange::Outcome::Partial:
        Response.SetStatus(206, "Partial Content");
        AddHeaders(Response);
        Response.SetKnownHeader(HttpServer::KnownHeader::ContentRange,
                                StringFormat("bytes %llu-%llu/%llu", static_cast<unsigned long long>(Part.First),
                                             static_cast<unsigned long long>(Part.Last), static_cast<unsigned long long>(Length)));
        for(auto& Piece : Body->Range(Part.First, Part.Size()))
            Response.AddEntityChunk(std::move(Piece));
        break;
    case ByteRange::Outcome::Unsatisfiable:
        Response.SetStatus(416, "Range Not Satisfiable");
        AddHeaders(Response);
        Response.SetKnownHeader(HttpServer::KnownHeader::ContentRange, StringFormat("bytes */%llu", static_cast<unsigned long long>(Length)));
        break;
    }
    Response.Send();
}

void MediaBodyAnswer::StartStream(HttpServer::Response& Response) const
{
    Response.SetStatus(200, "OK");
    AddHeaders(Response);
}

void MediaBodyAnswer::SendHead(HttpServer::Response& Response) const
{
    // Sent as the head of a body that follows: its length is not known.
    StartStream(Response);
    Response.Send(HttpServer::Response::SendFlagMoreData);
    Response.SendEntityBody();
}
} // namespace Application
