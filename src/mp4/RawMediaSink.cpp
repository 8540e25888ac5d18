// SPDX-License-Identifier: GPL-2.0-or-later
#include "mp4/RawMediaSink.h"

#include "base/Check.h"
#include "mp4/RawMediaSinkStream.h"

namespace Mp4
{
std::shared_ptr<RawMediaSink> RawMediaSink::Create(std::shared_ptr<MF::MediaType> const& Type, std::shared_ptr<MF::Attributes> const& Attributes,
                                                   std::shared_ptr<MF::IByteStream> ByteStream)
{
    CHECK_ARGUMENT(Type);
    auto Sink = std::make_shared<RawMediaSink>(Attributes, std::move(ByteStream));
    Sink->m_StreamSinks.push_back(std::make_shared<RawMediaSinkStream>(Sink, StreamIdentifier, Type));
    return Sink;
}

RawMediaSink::RawMediaSink(std::shared_ptr<MF::Attributes> Attributes, std::shared_ptr<MF::IByteStream> ByteStream) :
    m_Attributes(Attributes ? std::move(Attributes) : std::make_shared<MF::Attributes>(4)), m_ByteStream(std::move(ByteStream))
{
}

RawMediaSink::~RawMediaSink() = default;

std::uint32_t RawMediaSink::GetCharacteristics()
{
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

void RawMediaSink::Write(MF::Sample& Sample)
{
    if(!m_ByteStream)
        return;
    auto const Buffer = Sample.ConvertToContiguousBuffer();
    auto const Data = Buffer->GetSpan();
    CHECK_CONDITION(Data.size() <= UINT32_MAX, E_INVALIDARG);
    m_ByteStream->Write(Data.data(), static_cast<std::uint32_t>(Data.size()));
}
} // namespace Mp4
