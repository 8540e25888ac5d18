// SPDX-License-Identifier: GPL-2.0-or-later
#include "mp4/RawMediaSink.h"

#include <mutex>

#include "base/Check.h"
#include "mf/Platform.h"
#include "mp4/RawMediaSinkStream.h"

namespace Mp4
{
std::shared_ptr<RawMediaSink> RawMediaSink::Create(std::shared_ptr<MF::MediaType> const& Type, std::shared_ptr<MF::Attributes> const& Attributes,
                                                   std::shared_ptr<MF::IByteStream> ByteStream)
{
    CHECK_ARGUMENT(Type);
    auto Sink = std::make_shared<RawMediaSink>(Attributes, std::move(ByteStream));
    Sink->m_Stream = std::make_shared<Stream>(Sink, Type, StreamIdentifier);
    return Sink;
}

RawMediaSink::RawMediaSink(std::shared_ptr<MF::Attributes> Attributes, std::shared_ptr<MF::IByteStream> ByteStream) :
    m_Attributes(Attributes ? std::move(Attributes) : std::make_shared<MF::Attributes>(4)), m_ByteStream(std::move(ByteStream))
{
    CreateEventQueue();
}

RawMediaSink::~RawMediaSink()
{
    TRACE("this %p\n", static_cast<void*>(this));
}

std::uint32_t RawMediaSink::GetCharacteristics()
{
    std::shared_lock Lock(GetLock());
    NotShutdownNeeded();
    return MF::MEDIASINK_FIXED_STREAMS | MF::MEDIASINK_RATELESS;
}

std::shared_ptr<MF::IStreamSink> RawMediaSink::AddStreamSink(std::uint32_t, std::shared_ptr<MF::MediaType> const&)
{
    throw HResultError(MF_E_STREAMSINKS_FIXED);
}

void RawMediaSink::RemoveStreamSink(std::uint32_t)
{
    throw HResultError(MF_E_STREAMSINKS_FIXED);
}

std::size_t RawMediaSink::GetStreamSinkCount()
{
    std::shared_lock Lock(GetLock());
    NotShutdownNeeded();
    return 1;
}

std::shared_ptr<MF::IStreamSink> RawMediaSink::GetStreamSinkByIndex(std::size_t Index)
{
    std::shared_lock Lock(GetLock());
    NotShutdownNeeded();
    CHECK_CONDITION(Index == 0, MF_E_INVALIDINDEX);
    return m_Stream;
}

std::shared_ptr<MF::IStreamSink> RawMediaSink::GetStreamSinkById(std::uint32_t Identifier)
{
    std::shared_lock Lock(GetLock());
    NotShutdownNeeded();
    CHECK_CONDITION(Identifier == StreamIdentifier, MF_E_INVALIDSTREAMNUMBER);
    return m_Stream;
}

void RawMediaSink::SetPresentationClock(std::shared_ptr<MF::PresentationClock> const& Clock)
{
    TRACE("this %p, pPresentationClock %p\n", static_cast<void*>(this), static_cast<void*>(Clock.get()));
    std::unique_lock Lock(GetLock());
    NotShutdownNeeded();
    if(m_Clock)
        m_Clock->RemoveClockStateSink(shared_from_this());
    if(Clock)
        Clock->AddClockStateSink(shared_from_this());
    m_Clock = Clock;
}

std::shared_ptr<MF::PresentationClock> RawMediaSink::GetPresentationClock()
{
    std::shared_lock Lock(GetLock());
    NotShutdownNeeded();
    CHECK_CONDITION(m_Clock, MF_E_NO_CLOCK);
    return m_Clock;
}

void RawMediaSink::Shutdown()
{
    TRACE("this %p\n", static_cast<void*>(this));
    std::unique_lock Lock(GetLock());
    MarkShutdown();
    if(m_Clock)
        m_Clock->RemoveClockStateSink(shared_from_this());
    ShutdownEventQueue();
    m_Stream->ShutdownStream();
    m_Clock.reset();
    m_ByteStream.reset();
}

void RawMediaSink::BeginFinalize(std::shared_ptr<MF::IAsyncCallback> Callback, std::shared_ptr<MF::Object> State)
{
    TRACE("this %p, AsyncCallback %p, StateUnknown %p\n", static_cast<void*>(this), static_cast<void*>(Callback.get()), static_cast<void*>(State.get()));
    CHECK_ARGUMENT(Callback);
    {
        std::unique_lock Lock(GetLock());
        NotShutdownNeeded();
        m_SampleRequestsStopped = true;
    }
    MF::InvokeCallback(MF::CreateAsyncResult(nullptr, std::move(Callback), std::move(State)));
}

void RawMediaSink::EndFinalize(std::shared_ptr<MF::AsyncResult> const& Result)
{
    CHECK_ARGUMENT(Result);
    CHECK(Result->GetStatus());
}

void RawMediaSink::OnClockStart(std::int64_t SystemTime, std::int64_t StartOffset)
{
    TRACE("this %p, SystemTime %lld, StartOffset %lld\n", static_cast<void*>(this), static_cast<long long>(SystemTime), static_cast<long long>(StartOffset));
    std::unique_lock Lock(GetLock());
    NotShutdownNeeded();
    m_SampleRequestsStopped = false;
    m_Stream->InternalQueueEvent(MF::MEStreamSinkStarted);
    m_Stream->InternalQueueEvent(MF::MEStreamSinkRequestSample);
}

void RawMediaSink::OnClockStop(std::int64_t)
{
    std::unique_lock Lock(GetLock());
    NotShutdownNeeded();
    m_Stream->InternalQueueEvent(MF::MEStreamSinkStopped);
}

void RawMediaSink::OnClockSetRate(std::int64_t, float)
{
}

void RawMediaSink::WriteSample(MF::Sample& Sample)
{
    if(m_ByteStream)
    {
        auto const Buffer = Sample.ConvertToContiguousBuffer();
        auto const Data = Buffer->GetSpan();
        CHECK_CONDITION(Data.size() <= UINT32_MAX, E_INVALIDARG);
        m_ByteStream->Write(Data.data(), static_cast<std::uint32_t>(Data.size()));
    }
    if(!m_SampleRequestsStopped)
        m_Stream->InternalQueueEvent(MF::MEStreamSinkRequestSample);
}
} // namespace Mp4
