// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/production/MediaAnswer.h"

#include "app/answers/ErrorAnswer.h"
#include "base/Trace.h"
#include "media/SegmentSession.h"

namespace Application
{
std::shared_ptr<MediaAnswer> MediaAnswer::Create(ServerContext& Server, std::shared_ptr<HttpServer::Response> Response, std::string FileName)
{
    std::shared_ptr<MediaAnswer> Answer(new MediaAnswer(Server, std::move(Response), std::move(FileName)));
    Answer->m_Response->OnClientGone([Weak = std::weak_ptr<MediaAnswer>(Answer)] {
        if(auto const Self = Weak.lock())
            Self->m_Cancellation.Cancel();
    });
    return Answer;
}

MediaAnswer::MediaAnswer(ServerContext& Server, std::shared_ptr<HttpServer::Response> Response, std::string FileName) :
    m_Server(Server), m_Response(std::move(Response)), m_FileName(std::move(FileName))
{
}

void MediaAnswer::Run(std::function<void(MediaAnswer& Answer)> const& Task) noexcept
{
    if(m_Response->IsClientGone())
    {
        TRACE("The client left while its request waited\n");
        return;
    }
    try
    {
        Task(*this);
    }
    catch(std::exception const& Exception)
    {
        TRACE("Exception %s\n", Exception.what());
        if(m_Response->IsClientGone())
            m_Response->Abort();
        else
            AnswerFailure(*m_Response, Exception);
    }
}

void MediaAnswer::RunSession(SegmentSession& Session)
{
    // The client-gone flag is set before its callback runs: either it is
    // seen here, or the callback cancels the session.
    if(m_Response->IsClientGone())
        m_Cancellation.Cancel();
    m_Cancellation.Run(Session);
}

void MediaAnswer::SendWhole(WholeAnswer Answer, std::vector<std::uint8_t> Body)
{
    if(Answer.FileName.empty())
        Answer.FileName = m_FileName;
    Answer.Send(m_Server, *m_Response, std::move(Body));
}

void MediaAnswer::SendWhole(WholeAnswer Answer, std::string Body)
{
    if(Answer.FileName.empty())
        Answer.FileName = m_FileName;
    Answer.Send(m_Server, *m_Response, std::move(Body));
}
} // namespace Application
