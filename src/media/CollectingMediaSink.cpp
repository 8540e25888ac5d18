// SPDX-License-Identifier: GPL-2.0-or-later
#include "media/CollectingMediaSink.h"

#include "mf/MediaStatus.h"
#include "mf/MediaTypeHandler.h"
#include "mf/PresentationClock.h"

namespace Application
{
std::shared_ptr<CollectingMediaSink> CollectingMediaSink::Create(MF::Guid const& MajorType)
{
    auto Sink = std::make_shared<CollectingMediaSink>();
    Sink->m_Stream = std::make_shared<Stream>(Sink, MajorType);
    return Sink;
}

CollectingMediaSink::CollectingMediaSink() = default;

std::shared_ptr<MF::IStreamSink> CollectingMediaSink::GetStream()
{
    return m_Stream;
}

std::vector<std::shared_ptr<MF::Sample>> CollectingMediaSink::GetSamples() const
{
    return m_Stream->GetSamples();
}

std::shared_ptr<MF::IStreamSink> CollectingMediaSink::AddStreamSink(std::uint32_t, std::shared_ptr<MF::MediaType> const&)
{
    throw HResultError(MF_E_STREAMSINKS_FIXED);
}

void CollectingMediaSink::RemoveStreamSink(std::uint32_t)
{
    throw HResultError(MF_E_STREAMSINKS_FIXED);
}

std::shared_ptr<MF::IStreamSink> CollectingMediaSink::GetStreamSinkByIndex(std::size_t Index)
{
    CHECK_CONDITION(Index == 0, MF_E_INVALIDINDEX);
    return m_Stream;
}

std::shared_ptr<MF::IStreamSink> CollectingMediaSink::GetStreamSinkById(std::uint32_t Identifier)
{
    CHECK_CONDITION(Identifier == 0, MF_E_INVALIDSTREAMNUMBER);
    return m_Stream;
}

void CollectingMediaSink::SetPresentationClock(std::shared_ptr<MF::PresentationClock> const& Clock)
{
    if(m_Clock)
        m_Clock->RemoveClockStateSink(shared_from_this());
    m_Clock = Clock;
    if(m_Clock)
        m_Clock->AddClockStateSink(shared_from_this());
}

std::shared_ptr<MF::PresentationClock> CollectingMediaSink::GetPresentationClock()
{
    CHECK_CONDITION(m_Clock, MF_E_NO_CLOCK);
    return m_Clock;
}

void CollectingMediaSink::Shutdown()
{
    if(m_Clock)
        m_Clock->RemoveClockStateSink(shared_from_this());
    m_Clock.reset();
    m_Stream->Shutdown();
}

void CollectingMediaSink::OnClockStart(std::int64_t, std::int64_t)
{
    m_Stream->Start();
}

void CollectingMediaSink::OnClockStop(std::int64_t)
{
    m_Stream->Stop();
}

CollectingMediaSink::Stream::Stream(std::weak_ptr<CollectingMediaSink> Sink, MF::Guid const& MajorType) : m_Sink(std::move(Sink))
{
    auto Type = std::make_shared<MF::MediaType>();
    Type->SetGUID(MF::MF_MT_MAJOR_TYPE, MajorType);
    m_Handler = std::make_shared<MF::MediaTypeHandler>(std::move(Type), [](MF::MediaType const&) { return true; });
    CreateEventQueue();
}

std::shared_ptr<MF::IMediaSink> CollectingMediaSink::Stream::GetMediaSink()
{
    return m_Sink.lock();
}

void CollectingMediaSink::Stream::ProcessSample(std::shared_ptr<MF::Sample> const& Sample)
{
    NotShutdownNeeded();
    {
        std::lock_guard Lock(m_SamplesMutex);
        m_Samples.push_back(Sample);
    }
    InternalQueueEvent(MF::MEStreamSinkRequestSample);
}

void CollectingMediaSink::Stream::PlaceMarker(MF::MFSTREAMSINK_MARKER_TYPE, MF::PropVariant const&, MF::PropVariant const& ContextValue)
{
    NotShutdownNeeded();
    InternalQueueEvent(MF::MEStreamSinkMarker, S_OK, ContextValue);
}

void CollectingMediaSink::Stream::Start()
{
    InternalQueueEvent(MF::MEStreamSinkStarted);
    InternalQueueEvent(MF::MEStreamSinkRequestSample);
}

void CollectingMediaSink::Stream::Stop()
{
    InternalQueueEvent(MF::MEStreamSinkStopped);
}

void CollectingMediaSink::Stream::Shutdown()
{
    std::unique_lock Lock(GetLock());
    if(IsShutdown())
        return;
    MarkShutdown();
    ShutdownEventQueue();
}

std::vector<std::shared_ptr<MF::Sample>> CollectingMediaSink::Stream::GetSamples() const
{
    std::lock_guard Lock(m_SamplesMutex);
    return m_Samples;
}
} // namespace Application
