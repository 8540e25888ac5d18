// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <shared_mutex>
#include <utility>
#include <vector>

#include "base/Check.h"
#include "mf/AsyncResult.h"
#include "mf/IClockStateSink.h"
#include "mf/IFinalizableMediaSink.h"
#include "mf/IStreamSink.h"
#include "mf/MediaEventGeneratorT.h"
#include "mf/MediaStatus.h"
#include "mf/Platform.h"
#include "mf/PresentationClock.h"
#include "mf/ShutdownAwareT.h"
#include "mf/StreamSinkT.h"

namespace MF
{
// What every media sink SinkT shares whose stream sinks (StreamSinkT<SinkT>)
// write each sample as it comes: the list of stream sinks, the presentation
// clock, the start and stop of a run, shutdown, and finalisation, which
// completes at once since nothing is held back. While the
// sink finalises, its stream sinks stop asking for samples; a new run or the
// end of finalisation lets them ask again. A derived class adds its stream
// sinks (AddStreamSink) and may prepare a run (OnStart) and release what it
// holds at shutdown (OnShutdown).
//
//   class MySink final : public MF::MediaSinkT<MySink> { ... };
//   class MyStream final : public MF::StreamSinkT<MySink> { ... };
template <typename SinkT>
class MediaSinkT : public IFinalizableMediaSink,
                   public IClockStateSink,
                   public MediaEventGeneratorT<MediaSinkT<SinkT>>,
                   public ShutdownAwareT<MediaSinkT<SinkT>>,
                   public std::enable_shared_from_this<SinkT>
{
public:
    // IMediaSink
    void RemoveStreamSink(std::uint32_t Identifier) override
    {
        std::unique_lock Lock(this->GetLock());
        this->NotShutdownNeeded();
        auto const Iterator = FindStreamSink(Identifier);
        CHECK_CONDITION(Iterator != m_StreamSinks.end(), MF_E_INVALIDSTREAMNUMBER);
        (*Iterator)->MarkRemoved();
        m_StreamSinks.erase(Iterator);
    }
    std::size_t GetStreamSinkCount() override
    {
        std::shared_lock Lock(this->GetLock());
        this->NotShutdownNeeded();
        return m_StreamSinks.size();
    }
    std::shared_ptr<IStreamSink> GetStreamSinkByIndex(std::size_t Index) override
    {
        std::shared_lock Lock(this->GetLock());
        this->NotShutdownNeeded();
        CHECK_CONDITION(Index < m_StreamSinks.size(), MF_E_INVALIDINDEX);
        return m_StreamSinks[Index];
    }
    std::shared_ptr<IStreamSink> GetStreamSinkById(std::uint32_t Identifier) override
    {
        std::shared_lock Lock(this->GetLock());
        this->NotShutdownNeeded();
        auto const Iterator = FindStreamSink(Identifier);
        CHECK_CONDITION(Iterator != m_StreamSinks.end(), MF_E_INVALIDSTREAMNUMBER);
        return *Iterator;
    }
    // The clock is called without our lock. It calls back OnClockStart and
    // OnClockStop, which take our lock: were ours held while calling it, a
    // clock that notifies under its own lock, or tells a sink its state as
    // the sink is added, would deadlock with us.
    void SetPresentationClock(std::shared_ptr<PresentationClock> const& Clock) override
    {
        TRACE("this %p, Clock %p\n", static_cast<void*>(this), static_cast<void*>(Clock.get()));
        std::shared_ptr<PresentationClock> Previous;
        {
            std::unique_lock Lock(this->GetLock());
            this->NotShutdownNeeded();
            Previous = std::exchange(m_PresentationClock, Clock);
        }
        if(Previous)
            Previous->RemoveClockStateSink(this->shared_from_this());
        if(Clock)
            Clock->AddClockStateSink(this->shared_from_this());
    }
    std::shared_ptr<PresentationClock> GetPresentationClock() override
    {
        std::shared_lock Lock(this->GetLock());
        this->NotShutdownNeeded();
        CHECK_CONDITION(m_PresentationClock, MF_E_NO_CLOCK);
        return m_PresentationClock;
    }
    // MF_E_SHUTDOWN the second time. The clock and the stream sinks are
    // told after our lock is released, for the reason SetPresentationClock gives.
    void Shutdown() override
    {
        TRACE("this %p\n", static_cast<void*>(this));
        std::vector<StreamSinkPointer> Streams;
        std::shared_ptr<PresentationClock> Clock;
        {
            std::unique_lock Lock(this->GetLock());
            this->MarkShutdown();
            Streams = std::exchange(m_StreamSinks, {});
            Clock = std::exchange(m_PresentationClock, nullptr);
            OnShutdown();
            this->ShutdownEventQueue();
        }
        if(Clock)
            Clock->RemoveClockStateSink(this->shared_from_this());
        for(auto const& Stream : Streams)
            Stream->Shutdown();
    }

    // IFinalizableMediaSink: every sample is written already, so the callback is invoked at once.
    void BeginFinalize(std::shared_ptr<IAsyncCallback> Callback, std::shared_ptr<Object> State) override
    {
        TRACE("this %p, Callback %p, State %p\n", static_cast<void*>(this), static_cast<void*>(Callback.get()), static_cast<void*>(State.get()));
        CHECK_ARGUMENT(Callback);
        {
            std::unique_lock Lock(this->GetLock());
            this->NotShutdownNeeded();
            m_Finalizing = true;
        }
        InvokeCallback(CreateAsyncResult(nullptr, std::move(Callback), std::move(State)));
    }
    void EndFinalize(std::shared_ptr<AsyncResult> const& Result) override
    {
        CHECK_ARGUMENT(Result);
        {
            std::unique_lock Lock(this->GetLock());
            m_Finalizing = false;
        }
        CHECK(Result->GetStatus());
    }

    // IClockStateSink
    void OnClockStart(std::int64_t SystemTime, std::int64_t StartOffset) override
    {
        TRACE("this %p, SystemTime %lld, StartOffset %lld\n", static_cast<void*>(this), static_cast<long long>(SystemTime), static_cast<long long>(StartOffset));
        std::unique_lock Lock(this->GetLock());
        this->NotShutdownNeeded();
        m_Finalizing = false;
        OnStart();
        for(auto const& Stream : m_StreamSinks)
            Stream->Start(StartOffset);
    }
    void OnClockStop(std::int64_t) override
    {
        std::shared_lock Lock(this->GetLock());
        this->NotShutdownNeeded();
        for(auto const& Stream : m_StreamSinks)
            Stream->Stop();
    }

    // For the stream sinks, under the lock.
    bool IsFinalizing() const noexcept { return m_Finalizing; }

protected:
    using StreamSinkPointer = std::shared_ptr<StreamSinkT<SinkT>>;

    MediaSinkT() { this->CreateEventQueue(); }

    // Under the exclusive lock, before the stream sinks start; may refuse the run.
    virtual void OnStart() { }
    // Under the exclusive lock, once the sink is marked shut down.
    virtual void OnShutdown() { }

    // Under the lock.
    typename std::vector<StreamSinkPointer>::iterator FindStreamSink(std::uint32_t Identifier)
    {
        return std::find_if(m_StreamSinks.begin(), m_StreamSinks.end(), [&](StreamSinkPointer const& Stream) { return Stream->GetIdentifier() == Identifier; });
    }

    // In the order they were added; guarded by the lock.
    std::vector<StreamSinkPointer> m_StreamSinks;

private:
    std::shared_ptr<PresentationClock> m_PresentationClock;
    bool m_Finalizing = false;
};
} // namespace MF
