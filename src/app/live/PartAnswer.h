// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <exception>
#include <memory>

#include "app/answers/MediaBodyAnswer.h"
#include "app/production/SegmentProduction.h"
#include "app/context/ServerContext.h"
#include "presentation/PartLayout.h"

namespace Application
{
// The answer to a request for one part of a segment (low-latency HLS), or
// for the key picture it begins with (the first fragment, an entry of an
// I-frame playlist): the fragments of the span's frames, one fragment per
// frame, taken from the segment as its production makes them or from its
// cache entry (shared, not copied), and sent whole once they are there and
// the part is due. Used on the I/O thread only.
class PartAnswer : public std::enable_shared_from_this<PartAnswer>
{
public:
    PartAnswer(ServerContext& Server, std::shared_ptr<HttpServer::Response> Response, MediaBodyAnswer Answer, PartSpan Span);

    // What follows the segment for this part.
    SegmentProduction::Observer Observer();
    // The part's last frame is due: it goes out as soon as it is made.
    void MarkDue();

private:
    void OnFragments(std::vector<SharedBytes> const& Fragments);
    void OnEnd(std::exception_ptr Failure);
    void Answer();

    ServerContext& m_Server;
    std::shared_ptr<HttpServer::Response> const m_Response;
    MediaBodyAnswer const m_Answer;
    PartSpan const m_Span;
    std::vector<SharedBytes> m_Fragments; // of the segment, so far
    std::exception_ptr m_Failure;
    bool m_Due = false;
    bool m_Ended = false;
    bool m_Answered = false;
};
} // namespace Application
