// SPDX-License-Identifier: GPL-2.0-or-later
#include "mp4/Mp4MediaSink.h"

#include <algorithm>

#include "mf/Guids.h"
#include "mf/MediaStatus.h"
#include "mf/Platform.h"
#include "mp4/Mp4InitializationSegment.h"
#include "mp4/Mp4MediaSinkAacStreamSink.h"
#include "mp4/Mp4MediaSinkFlacStreamSink.h"
#include "mp4/Mp4H264CodecRecord.h"
#include "mp4/Mp4HevcCodecRecord.h"
#include "mp4/Mp4MediaSinkVideoStreamSinkT.h"

namespace Mp4
{
Mp4MediaSink::Mp4MediaSink(std::shared_ptr<MF::IByteStream> ByteStream) : m_ByteStream(std::move(ByteStream))
{
    CreateEventQueue();
}

Mp4MediaSink::~Mp4MediaSink() = default;

std::shared_ptr<Mp4MediaSink> Mp4MediaSink::Create(std::shared_ptr<MF::IByteStream> ByteStream)
{
    return std::make_shared<Mp4MediaSink>(std::move(ByteStream));
}

void Mp4MediaSink::SetFirstSequenceNumber(std::uint32_t Value)
{
    std::unique_lock Lock(GetLock());
    NotShutdownNeeded();
    m_FirstSequenceNumber = Value;
}

void Mp4MediaSink::SetProtection(ProtectionSettings Settings)
{
    std::unique_lock Lock(GetLock());
    NotShutdownNeeded();
    m_Encryptor.reset();
    if(Settings.IsActive())
        m_Encryptor.emplace(Settings);
    m_Protection = std::move(Settings);
}

std::string Mp4MediaSink::GetCodecsString()
{
    std::shared_lock Lock(GetLock());
    NotShutdownNeeded();
    return m_StreamSinkDataVector.empty() ? std::string() : m_StreamSinkDataVector.front().m_StreamSink->GetCodecsString();
}

std::uint32_t Mp4MediaSink::GetCharacteristics()
{
    NotShutdownNeeded();
    return MF::MEDIASINK_RATELESS;
}

std::vector<Mp4MediaSink::StreamSinkData>::iterator Mp4MediaSink::FindStreamSink(std::uint32_t Identifier)
{
    return std::find_if(m_StreamSinkDataVector.begin(), m_StreamSinkDataVector.end(), [&](StreamSinkData const& Data) { return Data.m_Identifier == Identifier; });
}

std::shared_ptr<Mp4MediaSink::StreamSink> Mp4MediaSink::CreateStreamSink(std::uint32_t Identifier, std::shared_ptr<MF::MediaType> const& Type)
{
    auto const Subtype = Type->GetSubtype();
    if(Subtype == MF::MFVideoFormat_H264)
        return std::make_shared<H264StreamSink>(weak_from_this(), Identifier, Type);
    if(Subtype == MF::MFVideoFormat_HEVC)
        return std::make_shared<HevcStreamSink>(weak_from_this(), Identifier, Type);
    if(Subtype == MF::MFAudioFormat_AAC)
        return std::make_shared<AacStreamSink>(weak_from_this(), Identifier, Type);
    if(Subtype == MF::MFAudioFormat_FLAC)
        return std::make_shared<FlacStreamSink>(weak_from_this(), Identifier, Type);
    return nullptr;
}

std::shared_ptr<MF::IStreamSink> Mp4MediaSink::AddStreamSink(std::uint32_t Identifier, std::shared_ptr<MF::MediaType> const& Type)
{
    CHECK_CONDITION(Type, E_NOTIMPL);
    std::unique_lock Lock(GetLock());
    NotShutdownNeeded();
    CHECK_CONDITION(m_ByteStream, MF_E_NOT_INITIALIZED);
    auto const Iterator = FindStreamSink(Identifier);
    CHECK_CONDITION(Iterator == m_StreamSinkDataVector.end(), MF_E_STREAMSINK_EXISTS);
    auto const Stream = CreateStreamSink(Identifier, Type);
    CHECK_CONDITION(Stream, MF_E_INVALIDMEDIATYPE);
    m_StreamSinkDataVector.push_back({Stream, Identifier, Type->GetMajorType()});
    return Stream;
}

void Mp4MediaSink::RemoveStreamSink(std::uint32_t Identifier)
{
    std::unique_lock Lock(GetLock());
    NotShutdownNeeded();
    auto const Iterator = FindStreamSink(Identifier);
    CHECK_CONDITION(Iterator != m_StreamSinkDataVector.end(), MF_E_INVALIDSTREAMNUMBER);
    Iterator->m_StreamSink->MarkRemoved();
    m_StreamSinkDataVector.erase(Iterator);
}

std::size_t Mp4MediaSink::GetStreamSinkCount()
{
    std::shared_lock Lock(GetLock());
    NotShutdownNeeded();
    return m_StreamSinkDataVector.size();
}

std::shared_ptr<MF::IStreamSink> Mp4MediaSink::GetStreamSinkByIndex(std::size_t Index)
{
    std::shared_lock Lock(GetLock());
    NotShutdownNeeded();
    CHECK_CONDITION(Index < m_StreamSinkDataVector.size(), MF_E_INVALIDINDEX);
    return m_StreamSinkDataVector[Index].m_StreamSink;
}

std::shared_ptr<MF::IStreamSink> Mp4MediaSink::GetStreamSinkById(std::uint32_t Identifier)
{
    std::shared_lock Lock(GetLock());
    NotShutdownNeeded();
    auto const Iterator = FindStreamSink(Identifier);
    CHECK_CONDITION(Iterator != m_StreamSinkDataVector.end(), MF_E_INVALIDSTREAMNUMBER);
    return Iterator->m_StreamSink;
}

void Mp4MediaSink::SetPresentationClock(std::shared_ptr<MF::PresentationClock> const& Clock)
{
    std::shared_ptr<MF::PresentationClock> Previous;
    {
        std::unique_lock Lock(GetLock());
        NotShutdownNeeded();
        Previous = std::exchange(m_PresentationClock, Clock);
    }
    // The clock calls its state sinks without its lock, and sinks call the clock without theirs.
    if(Previous)
        Previous->RemoveClockStateSink(shared_from_this());
    if(Clock)
        Clock->AddClockStateSink(shared_from_this());
}

std::shared_ptr<MF::PresentationClock> Mp4MediaSink::GetPresentationClock()
{
    std::shared_lock Lock(GetLock());
    NotShutdownNeeded();
    CHECK_CONDITION(m_PresentationClock, MF_E_NO_CLOCK);
    return m_PresentationClock;
}

void Mp4MediaSink::Shutdown()
{
    std::vector<StreamSinkData> Streams;
    std::shared_ptr<MF::PresentationClock> Clock;
    {
        std::unique_lock Lock(GetLock());
        MarkShutdown();
        Streams = std::exchange(m_StreamSinkDataVector, {});
        Clock = std::exchange(m_PresentationClock, nullptr);
        m_ByteStream.reset();
        m_Encryptor.reset();
        ShutdownEventQueue();
    }
    if(Clock)
        Clock->RemoveClockStateSink(shared_from_this());
    for(auto const& Data : Streams)
        Data.m_StreamSink->Shutdown();
}

void Mp4MediaSink::BeginFinalize(std::shared_ptr<MF::IAsyncCallback> Callback, std::shared_ptr<MF::Object> State)
{
    TRACE("this %p\n", static_cast<void*>(this));
    auto const Result = MF::CreateAsyncResult(nullptr, std::move(Callback), std::move(State));
    {
        std::unique_lock Lock(GetLock());
        NotShutdownNeeded();
        m_Finalizing = true;
    }
    MF::InvokeCallback(Result);
}

void Mp4MediaSink::EndFinalize(std::shared_ptr<MF::AsyncResult> const& Result)
{
    CHECK_ARGUMENT(Result);
    std::unique_lock Lock(GetLock());
    m_Finalizing = false;
    CHECK(Result->GetStatus());
}

std::vector<std::shared_ptr<Mp4MediaSink::StreamSink>> Mp4MediaSink::GetStreamSinks()
{
    std::vector<std::shared_ptr<StreamSink>> Streams;
    for(auto const& Data : m_StreamSinkDataVector)
        Streams.push_back(Data.m_StreamSink);
    return Streams;
}

void Mp4MediaSink::OnClockStart(std::int64_t SystemTime, std::int64_t StartOffset)
{
    TRACE("this %p, SystemTime %lld, StartOffset %lld\n", static_cast<void*>(this), static_cast<long long>(SystemTime), static_cast<long long>(StartOffset));
    std::unique_lock Lock(GetLock());
    NotShutdownNeeded();
    CHECK_CONDITION(m_ByteStream, MF_E_NOT_INITIALIZED);
    CHECK_LINE(m_StreamSinkDataVector.size() == 1);
    m_NextSequenceNumber = m_FirstSequenceNumber;
    m_InitializationSegmentDue = true;
    for(auto const& Stream : GetStreamSinks())
        Stream->Start(StartOffset);
}

void Mp4MediaSink::OnClockStop(std::int64_t)
{
    std::shared_lock Lock(GetLock());
    NotShutdownNeeded();
    for(auto const& Stream : GetStreamSinks())
        Stream->Stop();
}

void Mp4MediaSink::OnClockSetRate(std::int64_t, float) { }

void Mp4MediaSink::Write(std::vector<std::uint8_t> const& Bytes)
{
    CHECK_LINE(Bytes.size() <= 0xFFFFFFFFu);
    auto const Written = m_ByteStream->Write(Bytes.data(), static_cast<std::uint32_t>(Bytes.size()));
    CHECK_LINE(Written == Bytes.size());
}

void Mp4MediaSink::WriteInitializationSegment()
{
    std::vector<InitializationSegment::Track> Tracks;
    std::uint32_t TrackId = 1;
    for(auto const& Data : m_StreamSinkDataVector)
    {
        auto& Track = Tracks.emplace_back();
        Track.m_Kind = Data.m_StreamSink->GetTrackKind();
        Track.m_Timescale = Data.m_StreamSink->InitializeHeaderBox(TrackId++, Track.m_TrakBox, Track.m_TrexBox, m_Protection);
    }
    Write(InitializationSegment::Build(Tracks, m_Protection));
    m_InitializationSegmentDue = false;
}

void Mp4MediaSink::WriteFragment(FragmentBuilder::Fragment const& Fragment)
{
    Write(Fragment.m_Moof);
    Write(Fragment.m_Mdat);
}
} // namespace Mp4
