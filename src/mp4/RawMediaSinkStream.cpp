// SPDX-License-Identifier: GPL-2.0-or-later
#include "mp4/RawMediaSinkStream.h"

#include <mutex>

#include "base/Check.h"

namespace Mp4
{
RawMediaSink::Stream::Stream(std::shared_ptr<RawMediaSink> const& Sink, std::shared_ptr<MF::MediaType> const& Type, std::uint32_t Identifier) :
    m_Sink(Sink), m_MediaTypeHandler(std::make_shared<MF::MediaTypeHandler>(Type)), m_Identifier(Identifier)
{
    CreateEventQueue();
}

std::shared_ptr<RawMediaSink> RawMediaSink::Stream::LockSink()
{
    auto Sink = m_Sink.lock();
    CHECK_CONDITION(Sink, MF_E_SHUTDOWN);
    return Sink;
}

std::shared_ptr<MF::IMediaSink> RawMediaSink::Stream::GetMediaSink()
{
    NotShutdownNeeded();
    return LockSink();
}

std::uint32_t RawMediaSink::Stream::GetIdentifier()
{
    NotShutdownNeeded();
    return m_Identifier;
}

std::shared_ptr<MF::IMediaTypeHandler> RawMediaSink::Stream::GetMediaTypeHandler()
{
    NotShutdownNeeded();
    return m_MediaTypeHandler;
}

void RawMediaSink::Stream::ProcessSample(std::shared_ptr<MF::Sample> const& Sample)
{
    CHECK_ARGUMENT(Sample);
    auto const Sink = LockSink();
    std::unique_lock Lock(Sink->GetLock());
    Sink->NotShutdownNeeded();
    Sink->WriteSample(*Sample);
}

void RawMediaSink::Stream::PlaceMarker(MF::MFSTREAMSINK_MARKER_TYPE Type, MF::PropVariant const& MarkerValue, MF::PropVariant const& ContextValue)
{
    TRACE("this %p, MarkerType %s, MarkerValue %p, ContextValue %p\n", static_cast<void*>(this), MF::MarkerTypeName(Type),
          static_cast<void const*>(&MarkerValue), static_cast<void const*>(&ContextValue));
    auto const Sink = LockSink();
    std::unique_lock Lock(Sink->GetLock());
    Sink->NotShutdownNeeded();
    InternalQueueEvent(MF::MEStreamSinkMarker, S_OK, ContextValue);
}

void RawMediaSink::Stream::Flush()
{
    auto const Sink = LockSink();
    std::shared_lock Lock(Sink->GetLock());
    Sink->NotShutdownNeeded();
}

void RawMediaSink::Stream::ShutdownStream()
{
    std::unique_lock Lock(GetLock());
    if(!IsShutdown())
        MarkShutdown();
    ShutdownEventQueue();
}
} // namespace Mp4
