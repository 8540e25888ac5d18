// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

#include "base/Status.h"
#include "mf/AsyncCallback.h"
#include "mf/Event.h"
#include "mf/MediaSession.h"
#include "mf/PropVariant.h"
#include "mf/Topology.h"

namespace Application
{
// Runs one media session over a topology from start to a clean close on the
// calling thread and turns the session's events into a result:
//
//   auto Helper = Application::MediaSessionHelper::Create();
//   ... add the nodes to Helper->GetTopology() ...
//   Helper->SetStartPosition(SegmentIndex * SegmentDuration);
//   Helper->SetExtraWait(ByteStream->GetDataAvailableEvent(), [&] { ... TakeData ... });
//   if(!Helper->Run() && Helper->GetLastWaitEnd() == MediaSessionHelper::WaitEnd::Error)
//       throw HResultError(*Helper->GetError());
//
// Run waits in periods of one second for the close or the error event (and
// the extra event, whose callback it calls on this thread). On a period
// without either it consults the stall callbacks; without a stall check of
// the owner's it applies its own: a pipeline that handled no event of its
// components for the stall timeout (SetStallTimeout) is stalled. A stall is logged as
// "Pipeline streaming stall suspicion" and ends in an orderly close. Closing
// that does not complete in the close timeout raises "Pipeline closure
// stall suspicion". Create it with Create: the session's callback holds it
// weakly.
class MediaSessionHelper final : public std::enable_shared_from_this<MediaSessionHelper>
{
public:
    static constexpr std::chrono::milliseconds DefaultWaitPeriod{1000};
    static constexpr std::chrono::milliseconds StopWaitTime{2000};
    static constexpr std::chrono::milliseconds DefaultCloseTimeout{15000};
    static constexpr std::chrono::milliseconds DefaultStallTimeout{30000};

    // What ended Run's wait.
    enum class WaitEnd
    {
        Closed,     // the session closed
        Error,      // a component reported an error
        Cancelled,  // Cancel
        Quiet,      // a stall, or a stop that the stall stop predicate asked for
        WaitFailed, // waiting itself failed
    };

    static std::shared_ptr<MediaSessionHelper> Create() { return std::make_shared<MediaSessionHelper>(); }
    MediaSessionHelper();
    ~MediaSessionHelper();

    std::shared_ptr<MF::Topology> const& GetTopology() const noexcept { return m_Topology; }
    void SetStartPosition(std::int64_t Value) { m_StartPosition = MF::PropVariant(Value); }
    // Called on the session's event thread when the presentation has ended.
    void SetEndedCallback(std::function<void()> Value) { m_EndedCallback = std::move(Value); }
    // On a quiet period: true stops the session at once.
    void SetStallStopPredicate(std::function<bool()> Value) { m_StallStopPredicate = std::move(Value); }
    // On a quiet period: false means the pipeline stalls.
    void SetStallCheck(std::function<bool()> Value) { m_StallCheck = std::move(Value); }
    // Callback runs on Run's thread whenever Event is signalled.
    void SetExtraWait(std::shared_ptr<MF::Event> Event, std::function<void()> Callback);
    void SetWaitPeriod(std::chrono::milliseconds Value) { m_WaitPeriod = Value; }
    void SetCloseTimeout(std::chrono::milliseconds Value) { m_CloseTimeout = Value; }
    void SetStallTimeout(std::chrono::milliseconds Value) { m_StallTimeout = Value; }

    // From any thread, also from the extra callback: stops the session and
    // closes it, as a stall does, once Run's wait sees it (its owner no
    // longer wants the output). Run then returns false.
    void Cancel() { m_CancelEvent->Set(); }

    // Runs the session once: true when it ended by closing. Raises what
    // creating, starting, stopping, closing or shutting down the session
    // raised, and "Pipeline closure stall suspicion".
    bool Run();
    WaitEnd GetLastWaitEnd() const noexcept { return m_LastWaitEnd; }
    // The status of the first pipeline error.
    std::optional<HRESULT> GetError() const;

    // The session's event callback (not for owners).
    void AsyncCallbackInvoke(std::shared_ptr<MF::AsyncResult> const& Result);

private:
    // Outcome of one quiet wait period.
    enum class Quiet
    {
        KeepWaiting,
        Stop,
        Stalled,
    };

    // The events WaitLoop waits for, by their index in its wait: the cancel
    // event comes before the extra one, as a wait takes the first signalled
    // event and output keeps coming until the session stops.
    enum WaitIndex : std::uint32_t
    {
        CloseIndex,
        ErrorIndex,
        CancelIndex,
        ExtraIndex,
    };

    WaitEnd WaitLoop();
    Quiet CheckQuietPeriod();
    bool DefaultStallCheck();
    void StopBranch();
    void CloseSession();
    void HandleEvent(MF::MediaEvent const& Event);
    void RecordError(HRESULT Status);

    std::shared_ptr<MF::Topology> const m_Topology = MF::Topology::Create();
    MF::PropVariant m_StartPosition{std::int64_t{0}};
    std::function<void()> m_EndedCallback;
    std::function<bool()> m_StallStopPredicate;
    std::function<bool()> m_StallCheck;
    std::shared_ptr<MF::Event> m_ExtraEvent;
    std::function<void()> m_ExtraCallback;
    std::shared_ptr<MF::AsyncCallback> m_EventCallback;
    std::shared_ptr<MF::MediaSession> m_MediaSession;
    std::chrono::milliseconds m_WaitPeriod = DefaultWaitPeriod;
    std::chrono::milliseconds m_CloseTimeout = DefaultCloseTimeout;
    std::chrono::milliseconds m_StallTimeout = DefaultStallTimeout;
    mutable std::mutex m_Mutex;
    std::shared_ptr<MF::Event> const m_CloseEvent = MF::Event::Create(MF::EventReset::Manual);
    std::optional<HRESULT> m_Error;
    std::shared_ptr<MF::Event> const m_ErrorEvent = MF::Event::Create(MF::EventReset::Manual);
    std::shared_ptr<MF::Event> const m_CancelEvent = MF::Event::Create(MF::EventReset::Manual);
    bool m_Finished = false;
    WaitEnd m_LastWaitEnd = WaitEnd::Quiet;
    // The default stall check's view of the session's progress.
    std::uint64_t m_LastProgress = 0;
    std::chrono::steady_clock::time_point m_LastProgressTime;
};
} // namespace Application
