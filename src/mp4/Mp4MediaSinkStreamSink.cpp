// SPDX-License-Identifier: GPL-2.0-or-later
#include "mp4/Mp4MediaSinkStreamSink.h"

#include "mf/MediaStatus.h"
#include "mp4/Mp4ProtectionSignalling.h"

namespace Mp4
{
Mp4MediaSink::StreamSink::StreamSink(std::weak_ptr<Mp4MediaSink> MediaSink, std::uint32_t Identifier, std::shared_ptr<MF::MediaType> const& Type) :
    m_MediaSink(std::move(MediaSink)), m_Identifier(Identifier), m_MediaTypeHandler(std::make_shared<MF::MediaTypeHandler>(Type))
{
    CreateEventQueue();
}

Mp4MediaSink::StreamSink::~StreamSink() = default;

std::shared_ptr<Mp4MediaSink> Mp4MediaSink::StreamSink::LockMediaSink() const
{
    auto Sink = m_MediaSink.lock();
    CHECK_CONDITION(Sink, MF_E_SHUTDOWN);
    return Sink;
}

std::shared_ptr<MF::IMediaSink> Mp4MediaSink::StreamSink::GetMediaSink()
{
    NotShutdownNeeded();
    return LockMediaSink();
}

void Mp4MediaSink::StreamSink::ProcessSample(std::shared_ptr<MF::Sample> const& Sample)
{
    CHECK_ARGUMENT(Sample);
    auto const Sink = LockMediaSink();
    std::unique_lock Lock(Sink->GetLock());
    Sink->NotShutdownNeeded();
    CHECK_CONDITION(!m_Removed, MF_E_STREAMSINK_REMOVED);
    auto const Buffer = Sample->ConvertToContiguousBuffer();
    ProcessCodecSample(*Sample, Buffer->GetSpan(), *Sink);
    if(!Sink->IsFinalizing())
        InternalQueueEvent(MF::MEStreamSinkRequestSample);
}

void Mp4MediaSink::StreamSink::PlaceMarker(MF::MFSTREAMSINK_MARKER_TYPE Type, MF::PropVariant const& MarkerValue, MF::PropVariant const& ContextValue)
{
    TRACE("this %p, MarkerType %s, MarkerValue %s, ContextValue %s\n", static_cast<void*>(this), MF::MarkerTypeName(Type), MarkerValue.GetTypeName(),
          ContextValue.GetTypeName());
    auto const Sink = LockMediaSink();
    std::unique_lock Lock(Sink->GetLock());
    Sink->NotShutdownNeeded();
    CHECK_CONDITION(!m_Removed, MF_E_STREAMSINK_REMOVED);
    if(Type == MF::MFSTREAMSINK_MARKER_TICK)
    {
        CHECK_ARGUMENT(MarkerValue.GetType() == MF::PropVariant::Type::Int64);
        m_TickTime = MarkerValue.GetInt64();
    }
    // Nothing is held back between samples, so the marker is reached at once.
    InternalQueueEvent(MF::MEStreamSinkMarker, S_OK, ContextValue);
}

void Mp4MediaSink::StreamSink::Flush()
{
    auto const Sink = LockMediaSink();
    std::shared_lock Lock(Sink->GetLock());
    Sink->NotShutdownNeeded();
    CHECK_CONDITION(!m_Removed, MF_E_STREAMSINK_REMOVED);
}

void Mp4MediaSink::StreamSink::Shutdown()
{
    std::unique_lock Lock(GetLock());
    if(IsShutdown())
        return;
    SetState(MF_E_SHUTDOWN);
    ShutdownEventQueue();
}

void Mp4MediaSink::StreamSink::Start(std::int64_t StartOffset)
{
    m_StartOffset = StartOffset;
    OnStart();
    InternalQueueEvent(MF::MEStreamSinkStarted);
    InternalQueueEvent(MF::MEStreamSinkRequestSample);
}

std::uint32_t Mp4MediaSink::StreamSink::InitializeHeaderBox(std::uint32_t TrackId, TrakBox& Trak, TrexBox& Trex, ProtectionSettings const& Protection)
{
    m_TrackId = TrackId;
    StsdBox Stsd;
    InitializeSampleEntry(Stsd);
    if(Protection.IsActive())
        ProtectionSignalling::ProtectSampleEntry(Stsd, Protection);
    std::uint32_t const Timescale = GetTimescale();
    CHECK_LINE(Timescale != 0);
    std::uint32_t Width = 0, Height = 0;
    if(GetTrackKind() == TrackKind::Video)
        std::tie(Width, Height) = GetMediaType()->GetSize(MF::MF_MT_FRAME_SIZE);
    TrackBuilder::Build(TrackId, GetTrackKind(), Timescale, Width, Height, std::move(Stsd), Trak, Trex);
    return Timescale;
}
} // namespace Mp4
