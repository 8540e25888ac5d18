#include "app/WholeAnswer.h"

#include "app/CrossOriginHeaders.h"

namespace Application
{
void WholeAnswer::Send(RouteContext& Context, std::string Body) const
{
    Prepare(Context, Body.data(), Body.size());
    Context.Response->AddEntityChunk(std::move(Body));
    Context.Response->Send();
}

void WholeAnswer::Send(RouteContext& Context, std::vector<std::uint8_t> Body) const
{
    Prepare(Context, Body.data(), Body.size());
    Context.Response->AddEntityChunk(std::move(Body));
    Context.Response->Send();
}

void WholeAnswer::Prepare(RouteContext& Context, void const* Data, std::size_t Size) const
{
    // The file comes first: when it cannot be written the request fails
    // before anything is sent.
    if(auto const& Writer = Context.Server.PayloadWriter; Writer && !FileName.empty())
    {
        if(DeletePreviousFiles && Context.Server.Settings.DeletePreviousResponseBodies)
            Writer->DeletePrevious();
        Writer->Write({FileName, {}, Data, Size});
    }
    auto& Response = *Context.Response;
    Response.SetStatus(200, "OK");
    Response.SetKnownHeader(HttpServer::KnownHeader::ContentType, std::string(ContentType));
    if(CrossOrigin)
        AddCrossOriginHeaders(Response);
}
} // namespace Application
