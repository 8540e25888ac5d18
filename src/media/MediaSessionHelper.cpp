// SPDX-License-Identifier: GPL-2.0-or-later
#include "media/MediaSessionHelper.h"

#include <vector>

#include "base/Check.h"
#include "base/FailureCodes.h"
#include "mf/AttributeKeys.h"
#include "mf/Guids.h"
#include "mf/MediaStatus.h"

namespace Application
{
namespace
{
char const* TopologyStatusName(std::uint32_t Status) noexcept
{
    switch(Status)
    {
    case MF::MF_TOPOSTATUS_INVALID: return "MF_TOPOSTATUS_INVALID";
    case MF::MF_TOPOSTATUS_READY: return "MF_TOPOSTATUS_READY";
    case MF::MF_TOPOSTATUS_STARTED_SOURCE: return "MF_TOPOSTATUS_STARTED_SOURCE";
    case MF::MF_TOPOSTATUS_DYNAMIC_CHANGED: return "MF_TOPOSTATUS_DYNAMIC_CHANGED";
    case MF::MF_TOPOSTATUS_SINK_SWITCHED: return "MF_TOPOSTATUS_SINK_SWITCHED";
    case MF::MF_TOPOSTATUS_ENDED: return "MF_TOPOSTATUS_ENDED";
    default: return nullptr;
    }
}
} // namespace

MediaSessionHelper::MediaSessionHelper() = default;

MediaSessionHelper::~MediaSessionHelper()
{
    if(m_EventCallback)
        m_EventCallback->Clear();
}

void MediaSessionHelper::SetExtraWait(std::shared_ptr<MF::Event> Event, std::function<void()> Callback)
{
    CHECK_ARGUMENT(Event && Callback);
    m_ExtraEvent = std::move(Event);
    m_ExtraCallback = std::move(Callback);
}

std::optional<HRESULT> MediaSessionHelper::GetError() const
{
    std::lock_guard Lock(m_Mutex);
    return m_Error;
}

bool MediaSessionHelper::Run()
{
    ASSERT(!m_MediaSession);
    std::weak_ptr<MediaSessionHelper> const Weak = weak_from_this();
    ASSERT(!Weak.expired());
    m_EventCallback = std::make_shared<MF::AsyncCallback>([Weak](std::shared_ptr<MF::AsyncResult> const& Result) {
        if(auto const Helper = Weak.lock())
            Helper->AsyncCallbackInvoke(Result);
    });
    m_MediaSession = MF::MediaSession::Create();
    m_MediaSession->SetTopology(0, m_Topology);
    m_MediaSession->BeginGetEvent(m_EventCallback, nullptr);
    m_LastProgress = 0;
    m_LastProgressTime = std::chrono::steady_clock::now();

    WaitEnd const End = WaitLoop();
    CloseSession();
    TRACE("Before m_MediaSession->Shutdown\n");
    m_MediaSession->Shutdown();
    TRACE("After m_MediaSession->Shutdown\n");
    m_MediaSession.reset();
    m_EventCallback->Clear();
    m_LastWaitEnd = End;
    return End == WaitEnd::Closed;
}

MediaSessionHelper::WaitEnd MediaSessionHelper::WaitLoop()
{
    std::vector<MF::Event*> ObjectVector{m_CloseEvent.get(), m_ErrorEvent.get(), m_CancelEvent.get()};
    if(m_ExtraCallback)
        ObjectVector.push_back(m_ExtraEvent.get());
    for(;;)
    {
        std::uint32_t WaitResult = MF::Event::WaitTimedOut;
        if(Failed(StatusBoundary([&] { WaitResult = MF::Event::WaitForAny(ObjectVector, m_WaitPeriod); })))
            return WaitEnd::WaitFailed;
        switch(WaitResult)
        {
        case CloseIndex: return WaitEnd::Closed;
        case ErrorIndex: return WaitEnd::Error;
        case CancelIndex: StopBranch(); return WaitEnd::Cancelled;
        case ExtraIndex: m_ExtraCallback(); continue;
        default: break;
        }
        switch(CheckQuietPeriod())
        {
        case Quiet::KeepWaiting: continue;
        case Quiet::Stop: StopBranch(); return WaitEnd::Quiet;
        case Quiet::Stalled: return WaitEnd::Quiet;
        }
    }
}

MediaSessionHelper::Quiet MediaSessionHelper::CheckQuietPeriod()
{
    if(m_StallStopPredicate && m_StallStopPredicate())
        return Quiet::Stop;
    HRESULT const Status = StatusBoundary([&] {
        bool const Streaming = m_StallCheck ? m_StallCheck() : DefaultStallCheck();
        if(!Streaming)
            ::ThrowCheckFailure(FailureCodeFromLine(__LINE__), TRACE_CONTEXT(), "StallCheck()", "Pipeline streaming stall suspicion");
    });
    if(Succeeded(Status))
        return Quiet::KeepWaiting;
    TRACE("Exception 0x%08X, Pipeline streaming stall suspicion\n", static_cast<unsigned>(Status));
    return Quiet::Stalled;
}

bool MediaSessionHelper::DefaultStallCheck()
{
    auto const Now = std::chrono::steady_clock::now();
    auto const Progress = m_MediaSession->GetProgress();
    if(Progress != m_LastProgress)
    {
        m_LastProgress = Progress;
        m_LastProgressTime = Now;
        return true;
    }
    return Now - m_LastProgressTime < m_StallTimeout;
}

void MediaSessionHelper::StopBranch()
{
    TRACE("Before m_MediaSession->Stop\n");
    m_MediaSession->Stop();
    TRACE("After m_MediaSession->Stop\n");
    bool const Closed = m_CloseEvent->Wait(StopWaitTime);
    TRACE("Closed after stop %d\n", Closed ? 1 : 0);
}

void MediaSessionHelper::CloseSession()
{
    if(m_CloseEvent->IsSet())
        return;
    TRACE("Before m_MediaSession->Close\n");
    m_MediaSession->Close();
    TRACE("After m_MediaSession->Close\n");
    if(m_CloseEvent->Wait(m_CloseTimeout))
        return;
    // The session is left as it is: a component that cannot close may not shut down either.
    ::ThrowCheckFailure(FailureCode::PipelineClosureStall, TRACE_CONTEXT(), "m_CloseEvent->Wait(m_CloseTimeout)",
                        "Pipeline closure stall suspicion");
}

void MediaSessionHelper::AsyncCallbackInvoke(std::shared_ptr<MF::AsyncResult> const& Result)
{
    std::lock_guard Lock(m_Mutex);
    auto const Session = m_MediaSession;
    if(!Session)
        return;
    std::shared_ptr<MF::MediaEvent> Event;
    HRESULT const Status = StatusBoundary([&] { Event = Session->EndGetEvent(Result); });
    if(Failed(Status))
    {
        if(Status != MF_E_SHUTDOWN)
            RecordError(Status);
        return;
    }
    TRACE("MediaEvent %s\n", Event->Describe().c_str());
    // A failure in handling an event fails the run instead of silencing it,
    // and the events keep coming, so that the close can still be seen.
    HRESULT const Handled = StatusBoundary([&] { HandleEvent(*Event); });
    if(Failed(Handled))
        RecordError(Handled);
    if(Event->GetType() == MF::MESessionClosed)
        return;
    HRESULT const Rearmed = StatusBoundary([&] { Session->BeginGetEvent(m_EventCallback, nullptr); });
    if(Failed(Rearmed) && Rearmed != MF_E_SHUTDOWN)
        RecordError(Rearmed);
}

void MediaSessionHelper::HandleEvent(MF::MediaEvent const& Event)
{
    switch(Event.GetType())
    {
    case MF::MEError: RecordError(Failed(Event.GetStatus()) ? Event.GetStatus() : E_FAIL); break;
    case MF::MESessionTopologySet: CHECK(Event.GetStatus()); break;
    case MF::MESessionStopped:
        TRACE("Before m_MediaSession->Close\n");
        m_MediaSession->Close();
        TRACE("After m_MediaSession->Close\n");
        break;
    case MF::MESessionClosed:
        m_Finished = true;
        m_CloseEvent->Set();
        break;
    case MF::MESessionEnded:
        if(m_EndedCallback)
            m_EndedCallback();
        m_MediaSession->Stop();
        break;
    case MF::MESessionTopologyStatus:
    {
        auto const TopoStatus = Event.GetUINT32(MF::MF_EVENT_TOPOLOGY_STATUS);
        if(auto const* Name = TopologyStatusName(TopoStatus))
            TRACE("TopoStatus %s\n", Name);
        else
            TRACE("TopoStatus 0x%X\n", TopoStatus);
        if(TopoStatus == MF::MF_TOPOSTATUS_READY)
            m_MediaSession->Start(MF::GUID_NULL, m_StartPosition);
        break;
    }
    default: break;
    }
}

void MediaSessionHelper::RecordError(HRESULT Status)
{
    if(m_Finished)
        return;
    m_Finished = true;
    m_Error = Status;
    m_ErrorEvent->Set();
}
} // namespace Application
