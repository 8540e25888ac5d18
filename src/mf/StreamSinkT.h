// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <shared_mutex>

#include "base/Check.h"
#include "mf/IStreamSink.h"
#include "mf/MediaEventGeneratorT.h"
#include "mf/MediaStatus.h"
#include "mf/MediaTypeHandler.h"
#include "mf/ShutdownAwareT.h"

namespace MF
{
// A stream sink of a MediaSinkT<SinkT, ...>: what every stream sink of a sink
// that writes each sample as it comes shares. The sink owns it and it knows
// the sink weakly. Samples, markers and flushes run under the sink's lock, so
// that one sink's writes keep sample order across its streams; the stream
// sink's own lock guards only its event queue and state. Nothing is held back
// between samples, so a marker is answered at once. A derived class writes
// the sample (WriteSample) and may prepare a run (OnStart).
template <typename SinkT>
class StreamSinkT : public IStreamSink, public MediaEventGeneratorT<StreamSinkT<SinkT>>, public ShutdownAwareT<StreamSinkT<SinkT>>
{
public:
    // Accepts Type, or what Checker accepts when there is one.
    StreamSinkT(std::weak_ptr<SinkT> Sink, std::uint32_t Identifier, std::shared_ptr<MediaType> const& Type, MediaTypeHandler::Checker Checker = {}) :
        m_Sink(std::move(Sink)), m_Identifier(Identifier), m_MediaTypeHandler(std::make_shared<MediaTypeHandler>(Type, std::move(Checker)))
    {
        this->CreateEventQueue();
    }

    // IStreamSink
    std::shared_ptr<IMediaSink> GetMediaSink() override
    {
        this->NotShutdownNeeded();
        return LockSink();
    }
    std::uint32_t GetIdentifier() override
    {
        this->NotShutdownNeeded();
        return m_Identifier;
    }
    std::shared_ptr<IMediaTypeHandler> GetMediaTypeHandler() override
    {
        this->NotShutdownNeeded();
        return m_MediaTypeHandler;
    }
    // Writes the sample and, unless the sink is finalising, asks for the next.
    void ProcessSample(std::shared_ptr<Sample> const& Value) override
    {
        CHECK_ARGUMENT(Value);
        auto const Sink = LockSink();
        std::unique_lock Lock(Sink->GetLock());
        Sink->NotShutdownNeeded();
        CHECK_CONDITION(!m_Removed, MF_E_STREAMSINK_REMOVED);
        WriteSample(Value, *Sink);
        if(!Sink->IsFinalizing())
            this->InternalQueueEvent(MEStreamSinkRequestSample);
    }
    // A tick marker carries the presentation time it stands for.
    void PlaceMarker(MFSTREAMSINK_MARKER_TYPE Type, PropVariant const& MarkerValue, PropVariant const& ContextValue) override
    {
        TRACE("this %p, MarkerType %s, MarkerValue %s, ContextValue %s\n", static_cast<void*>(this), MarkerTypeName(Type), MarkerValue.GetTypeName(),
              ContextValue.GetTypeName());
        auto const Sink = LockSink();
        std::unique_lock Lock(Sink->GetLock());
        Sink->NotShutdownNeeded();
        CHECK_CONDITION(!m_Removed, MF_E_STREAMSINK_REMOVED);
        if(Type == MFSTREAMSINK_MARKER_TICK)
            CHECK_ARGUMENT(MarkerValue.GetType() == PropVariant::Type::Int64);
        this->InternalQueueEvent(MEStreamSinkMarker, S_OK, ContextValue);
    }

    // Life cycle, driven by the sink under its exclusive lock (Shutdown
    // after it has let the stream sink go).
    void Start(std::int64_t StartOffset)
    {
        m_StartOffset = StartOffset;
        OnStart();
        this->InternalQueueEvent(MEStreamSinkStarted);
        this->InternalQueueEvent(MEStreamSinkRequestSample);
    }
    void Stop() { this->InternalQueueEvent(MEStreamSinkStopped); }
    void MarkRemoved() noexcept { m_Removed = true; }
    void Shutdown()
    {
        std::unique_lock Lock(this->GetLock());
        if(this->IsShutdown())
            return;
        this->MarkShutdown();
        this->ShutdownEventQueue();
    }

protected:
    // Under the sink's exclusive lock; the sink is not shut down.
    virtual void WriteSample(std::shared_ptr<Sample> const& Value, SinkT& Sink) = 0;
    // A new run begins at GetStartOffset(): forget what the previous one left.
    virtual void OnStart() { }

    std::int64_t GetStartOffset() const noexcept { return m_StartOffset; }
    std::shared_ptr<MediaType> GetMediaType() const { return m_MediaTypeHandler->GetCurrentMediaType(); }

private:
    std::shared_ptr<SinkT> LockSink() const
    {
        auto Sink = m_Sink.lock();
        CHECK_CONDITION(Sink, MF_E_SHUTDOWN);
        return Sink;
    }

    std::weak_ptr<SinkT> const m_Sink;
    std::uint32_t const m_Identifier;
    std::shared_ptr<MediaTypeHandler> const m_MediaTypeHandler;
    bool m_Removed = false;
    std::int64_t m_StartOffset = 0;
};
} // namespace MF
