// SPDX-License-Identifier: GPL-2.0-or-later
#include "media/FlacEncoder.h"

#include "base/Check.h"
#include "media/FlacFrameHeader.h"

namespace Application
{
FlacEncoder::FlacEncoder(std::uint32_t SampleRate, std::uint32_t Channels) : m_Grid(SampleRate), m_Channels(Channels)
{
    CHECK_ARGUMENT(Channels > 0 && Channels <= 8);
    m_Encoder = FLAC__stream_encoder_new();
    CHECK_POINTER(m_Encoder);
    CHECK_LINE(FLAC__stream_encoder_set_channels(m_Encoder, Channels));
    CHECK_LINE(FLAC__stream_encoder_set_bits_per_sample(m_Encoder, BitsPerSample));
    CHECK_LINE(FLAC__stream_encoder_set_sample_rate(m_Encoder, SampleRate));
    CHECK_LINE(FLAC__stream_encoder_set_compression_level(m_Encoder, CompressionLevel));
    CHECK_LINE(FLAC__stream_encoder_set_blocksize(m_Encoder, BlockSize));
    CHECK_LINE(FLAC__stream_encoder_set_streamable_subset(m_Encoder, true));
    CHECK_LINE(FLAC__stream_encoder_set_total_samples_estimate(m_Encoder, 0));
    // The metadata is written here, through the callback.
    CHECK_LINE(FLAC__stream_encoder_init_stream(m_Encoder, Write, nullptr, nullptr, nullptr, this) == FLAC__STREAM_ENCODER_INIT_STATUS_OK);
    CHECK_LINE(!m_StreamHeader.empty());
}

FlacEncoder::~FlacEncoder()
{
    // Finishing would encode what is left; a run that was not drained is dropped.
    m_Output = nullptr;
    m_Drained = true;
    FLAC__stream_encoder_delete(m_Encoder);
}

void FlacEncoder::Encode(std::int16_t const* Samples, std::uint32_t Count, std::int64_t FirstSample, std::vector<EncodedSample>& Output)
{
    CHECK_POINTER(Samples);
    CHECK_LINE(!m_Drained);
    if(m_RunStart < 0)
    {
        CHECK_ARGUMENT(FirstSample >= 0);
        m_RunStart = m_NextSample = FirstSample;
    }
    CHECK_LINE(FirstSample == m_NextSample);
    m_NextSample += Count;
    m_Widened.assign(Samples, Samples + static_cast<std::size_t>(Count) * m_Channels);
    m_Output = &Output;
    bool const Encoded = FLAC__stream_encoder_process_interleaved(m_Encoder, m_Widened.data(), Count);
    m_Output = nullptr;
    CHECK_LINE(Encoded);
}

void FlacEncoder::Drain(std::vector<EncodedSample>& Output)
{
    if(m_Drained)
        return;
    m_Drained = true;
    m_Output = &Output;
    bool const Finished = FLAC__stream_encoder_finish(m_Encoder);
    m_Output = nullptr;
    CHECK_LINE(Finished);
}

FLAC__StreamEncoderWriteStatus FlacEncoder::Write(FLAC__StreamEncoder const*, FLAC__byte const* Data, std::size_t Size, std::uint32_t Samples,
                                                  std::uint32_t Frame, void* Context)
{
    HRESULT const Status = StatusBoundary([&] { static_cast<FlacEncoder*>(Context)->Deliver(Data, Size, Samples, Frame); });
    return Succeeded(Status) ? FLAC__STREAM_ENCODER_WRITE_STATUS_OK : FLAC__STREAM_ENCODER_WRITE_STATUS_FATAL_ERROR;
}

void FlacEncoder::Deliver(std::uint8_t const* Data, std::size_t Size, std::uint32_t Samples, std::uint32_t Frame)
{
    if(Samples == 0)
    {
        m_StreamHeader.insert(m_StreamHeader.end(), Data, Data + Size);
        return;
    }
    if(!m_Output)
        return;
    EncodedSample Sample;
    Sample.Data.assign(Data, Data + Size);
    Sample.FirstSample = m_RunStart + static_cast<std::int64_t>(Frame) * BlockSize;
    Sample.SampleCount = Samples;
    if(m_RunStart % BlockSize == 0)
        FlacFrameHeader::Renumber(Sample.Data, static_cast<std::uint64_t>(Sample.FirstSample / BlockSize));
    Sample.Time = m_Grid.SampleTime(Sample.FirstSample);
    Sample.Duration = m_Grid.SampleTime(Sample.FirstSample + Samples) - Sample.Time;
    Sample.KeyFrame = true;
    m_Output->push_back(std::move(Sample));
}
} // namespace Application
