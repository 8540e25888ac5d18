#include "app/MediaAnswer.h"

#include "app/CrossOriginHeaders.h"
#include "app/WholeAnswer.h"
#include "media/SegmentSession.h"

namespace Application
{
MediaAnswer::MediaAnswer(ServerContext& Server, std::shared_ptr<HttpServer::Response> Response, std::string FileName) :
    m_Server(Server), m_Response(std::move(Response)), m_FileName(std::move(FileName))
{
}

void MediaAnswer::Run(std::function<void(MediaAnswer& Answer)> const& Task) noexcept
{
    try
    {
        Task(*this);
    }
    catch(std::exception const& Exception)
    {
        TRACE("Exception %s\n", Exception.what());
        m_Response->Abort();
    }
}

void MediaAnswer::SendSegment(SegmentSession& Session, std::string ContentType)
{
    if(m_Server.PayloadWriter)
    {
        Session.Run();
        SendWhole(std::move(ContentType), std::move(Session.GetOutput()));
        return;
    }
    StartHead(std::move(ContentType));
    m_Response->SetKnownHeader(HttpServer::KnownHeader::TransferEncoding, "chunked");
    Session.SetDataCallback([this](std::span<std::uint8_t const> Data) { return SendChunk(Data); });
    Session.Run();
    m_Response->AddLastTransferChunk();
    if(m_HeadSent)
        m_Response->SendEntityBody();
    else
        m_Response->Send();
}

void MediaAnswer::SendWhole(std::string ContentType, std::vector<std::uint8_t> Body)
{
    WholeAnswer{ContentType, true, m_FileName}.Send(m_Server, *m_Response, std::move(Body));
}

void MediaAnswer::StartHead(std::string ContentType)
{
    m_Response->SetStatus(200, "OK");
    m_Response->SetKnownHeader(HttpServer::KnownHeader::ContentType, std::move(ContentType));
    AddCrossOriginHeaders(*m_Response);
}

bool MediaAnswer::SendChunk(std::span<std::uint8_t const> Data)
{
    // The send returns once the bytes are written, so the pipeline never
    // runs ahead of its client; false means the client is gone.
    m_Response->AddTransferChunk(Data.data(), Data.size());
    unsigned const Flags = HttpServer::Response::SendFlagMoreData;
    bool const Written = m_HeadSent ? m_Response->SendEntityBody(Flags) : m_Response->Send(Flags);
    m_HeadSent = true;
    return Written;
}
} // namespace Application
