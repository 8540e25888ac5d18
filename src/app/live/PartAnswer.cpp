// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/live/PartAnswer.h"

#include "app/answers/ErrorAnswer.h"
#include "base/HResultError.h"

namespace Application
{
PartAnswer::PartAnswer(ServerContext& Server, std::shared_ptr<HttpServer::Response> Response, MediaBodyAnswer Answer, PartSpan Span) :
    m_Server(Server), m_Response(std::move(Response)), m_Answer(std::move(Answer)), m_Span(Span)
{
}

SegmentProduction::Observer PartAnswer::Observer()
{
    auto Self = shared_from_this();
    return {[Self](HttpServer::SharedBytes const& Chunk) { Self->OnChunk(Chunk); },
            [Self](std::exception_ptr Failure, HttpServer::SharedBytes const&) { Self->OnEnd(std::move(Failure)); }};
}

void PartAnswer::MarkDue()
{
    m_Due = true;
    Answer();
}

void PartAnswer::OnChunk(HttpServer::SharedBytes const& Chunk)
{
    if(m_Answered)
        return;
    m_Cutter.Append(*Chunk);
    Answer();
}

void PartAnswer::OnEnd(std::exception_ptr Failure)
{
    m_Ended = true;
    m_Failure = std::move(Failure);
    Answer();
}

void PartAnswer::Answer()
{
    if(m_Answered)
        return;
    if(m_Response->IsClientGone() || m_Response->IsComplete())
    {
        m_Answered = true;
        return;
    }
    try
    {
        // A segment that cannot be made fails its parts at once, due or not.
        if(m_Failure)
            std::rethrow_exception(m_Failure);
        if(m_Cutter.IsMalformed())
            throw HResultError(E_UNEXPECTED, "The segment's boxes cannot be read");
        if(!m_Due)
            return;
        auto Bytes = m_Cutter.Cut(m_Span.FirstFrame, m_Span.FrameCount);
        if(!Bytes)
        {
            if(m_Ended)
                throw HResultError(E_UNEXPECTED, "The segment has fewer fragments than its part needs");
            return;
        }
        m_Answered = true;
        m_Answer.SendBody(m_Server, *m_Response, std::make_shared<std::vector<std::uint8_t> const>(std::move(*Bytes)));
    }
    catch(std::exception const& Exception)
    {
        m_Answered = true;
        AnswerFailure(*m_Response, Exception);
    }
}
} // namespace Application
