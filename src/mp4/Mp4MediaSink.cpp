// SPDX-License-Identifier: GPL-2.0-or-later
#include "mp4/Mp4MediaSink.h"

#include "mf/Guids.h"
#include "mf/MediaStatus.h"
#include "mf/Platform.h"
#include "mp4/Mp4InitializationSegment.h"
#include "mp4/Mp4MediaSinkAacStreamSink.h"
#include "mp4/Mp4MediaSinkAv1StreamSink.h"
#include "mp4/Mp4Ac3CodecRecord.h"
#include "mp4/Mp4Ec3CodecRecord.h"
#include "mp4/Mp4MediaSinkFlacStreamSink.h"
#include "mp4/Mp4MediaSinkOpusStreamSink.h"
#include "mp4/Mp4MediaSinkSyncFrameStreamSinkT.h"
#include "mp4/Mp4MediaSinkVp9StreamSink.h"
#include "mp4/Mp4H264CodecRecord.h"
#include "mp4/Mp4HevcCodecRecord.h"
#include "mp4/Mp4MediaSinkVideoStreamSinkT.h"

namespace Mp4
{
Mp4MediaSink::Mp4MediaSink(std::shared_ptr<MF::IByteStream> ByteStream) : m_ByteStream(std::move(ByteStream)) { }

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

void Mp4MediaSink::SetTimeOrigin(std::int64_t Origin)
{
    CHECK_ARGUMENT(Origin >= 0);
    std::unique_lock Lock(GetLock());
    NotShutdownNeeded();
    m_TimeOrigin = Origin;
}

void Mp4MediaSink::SetProtection(ProtectionSettings Settings)
{
    CHECK_ARGUMENT(Settings.m_DefaultKeyIdentifier.empty() || Settings.m_DefaultKeyIdentifier.size() == 16);
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
    return m_StreamSinks.empty() ? std::string() : GetStreamSink(*m_StreamSinks.front()).GetCodecsString();
}

std::uint32_t Mp4MediaSink::GetCharacteristics()
{
    NotShutdownNeeded();
    return MF::MEDIASINK_RATELESS;
}

std::shared_ptr<Mp4MediaSink::StreamSink> Mp4MediaSink::CreateStreamSink(std::uint32_t Identifier, std::shared_ptr<MF::MediaType> const& Type)
{
    auto const Subtype = Type->GetSubtype();
    if(Subtype == MF::MFVideoFormat_H264)
        return std::make_shared<H264StreamSink>(weak_from_this(), Identifier, Type);
    if(Subtype == MF::MFVideoFormat_HEVC)
        return std::make_shared<HevcStreamSink>(weak_from_this(), Identifier, Type);
    if(Subtype == MF::MFVideoFormat_AV1)
        return std::make_shared<Av1StreamSink>(weak_from_this(), Identifier, Type);
    if(Subtype == MF::MFVideoFormat_VP90)
        return std::make_shared<Vp9StreamSink>(weak_from_this(), Identifier, Type);
    if(Subtype == MF::MFAudioFormat_AAC)
        return std::make_shared<AacStreamSink>(weak_from_this(), Identifier, Type);
    if(Subtype == MF::MFAudioFormat_FLAC)
        return std::make_shared<FlacStreamSink>(weak_from_this(), Identifier, Type);
    if(Subtype == MF::MFAudioFormat_Opus)
        return std::make_shared<OpusStreamSink>(weak_from_this(), Identifier, Type);
    if(Subtype == MF::MFAudioFormat_Dolby_AC3)
        return std::make_shared<Ac3StreamSink>(weak_from_this(), Identifier, Type);
    if(Subtype == MF::MFAudioFormat_Dolby_DDPlus)
        return std::make_shared<Ec3StreamSink>(weak_from_this(), Identifier, Type);
    return nullptr;
}

std::shared_ptr<MF::IStreamSink> Mp4MediaSink::AddStreamSink(std::uint32_t Identifier, std::shared_ptr<MF::MediaType> const& Type)
{
    CHECK_CONDITION(Type, E_NOTIMPL);
    std::unique_lock Lock(GetLock());
    NotShutdownNeeded();
    CHECK_CONDITION(m_ByteStream, MF_E_NOT_INITIALIZED);
    CHECK_CONDITION(FindStreamSink(Identifier) == m_StreamSinks.end(), MF_E_STREAMSINK_EXISTS);
    auto const Stream = CreateStreamSink(Identifier, Type);
    CHECK_CONDITION(Stream, MF_E_INVALIDMEDIATYPE);
    m_StreamSinks.push_back(Stream);
    return Stream;
}

Mp4MediaSink::StreamSink& Mp4MediaSink::GetStreamSink(MF::StreamSinkT<Mp4MediaSink>& Stream)
{
    // Every stream sink was made by CreateStreamSink.
    return static_cast<StreamSink&>(Stream);
}

void Mp4MediaSink::OnStart()
{
    CHECK_CONDITION(m_ByteStream, MF_E_NOT_INITIALIZED);
    CHECK_LINE(m_StreamSinks.size() == 1);
    m_NextSequenceNumber = m_FirstSequenceNumber;
    m_InitializationSegmentDue = true;
}

void Mp4MediaSink::OnShutdown()
{
    m_ByteStream.reset();
    m_Encryptor.reset();
}

void Mp4MediaSink::Write(std::vector<std::uint8_t> Bytes)
{
    std::size_t const Size = Bytes.size();
    CHECK_LINE(Size <= 0xFFFFFFFFu);
    auto const Written = m_ByteStream->WriteOwned(std::move(Bytes));
    CHECK_LINE(Written == Size);
}

void Mp4MediaSink::WriteInitializationSegment()
{
    std::vector<InitializationSegment::Track> Tracks;
    std::uint32_t TrackId = 1;
    for(auto const& Pointer : m_StreamSinks)
    {
        auto& Stream = GetStreamSink(*Pointer);
        auto& Track = Tracks.emplace_back();
        Track.m_Kind = Stream.GetTrackKind();
        Track.m_Timescale = Stream.InitializeHeaderBox(TrackId++, Track.m_TrakBox, Track.m_TrexBox, m_Protection);
    }
    Write(InitializationSegment::Build(Tracks, m_Protection));
    m_InitializationSegmentDue = false;
}

void Mp4MediaSink::WriteFragment(FragmentBuilder::Fragment Fragment)
{
    Write(std::move(Fragment.m_Bytes));
}
} // namespace Mp4
