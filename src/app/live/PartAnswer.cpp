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
    return {[Self](std::vector<SharedBytes> const& Fragments) { Self->OnFragments(Fragments); },
            [Self](std::exception_ptr Failure, SharedMediaBody const&) { Self->OnEnd(std::move(Failure)); }};
}

void PartAnswer::MarkDue()
{
    m_Due = true;
    Answer();
}

void PartAnswer::OnFragments(std::vector<SharedBytes> const& Fragments)
{
    if(m_Answered)
        return;
    m_Fragments.insert(m_Fragments.end(), Fragments.begin(), Fragments.end());
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
        if(!m_Due)
            return;
        std::size_t const End = std::size_t{m_Span.FirstFrame} + m_Span.FrameCount;
        if(m_Fragments.size() < End)
        {
            if(m_Ended)
                throw HResultError(E_UNEXPECTED, "The segment has fewer fragments than its part needs");
            return;
        }
        m_Answered = true;
        auto const First = m_Fragments.begin() + static_cast<std::ptrdiff_t>(m_Span.FirstFrame);
        m_Answer.SendBody(m_Server, *m_Response, std::make_shared<MediaBody const>(std::vector<SharedBytes>(First, First + m_Span.FrameCount)));
    }
    catch(std::exception const& Exception)
    {
        m_Answered = true;
        AnswerFailure(*m_Response, Exception);
    }
}
} // namespace Application
