// SPDX-License-Identifier: GPL-2.0-or-later
#include "media/OpusAudioEncoder.h"

#include <algorithm>

#include <opus/opus_multistream.h>

#include "base/Check.h"
#include "base/MulDiv.h"
#include "media/SurroundSpeakers.h"

namespace Application
{
namespace
{
// The largest packet of one frame
// (RFC 6716 3.4: 1275 bytes a frame, three frames and their lengths at most
// in one packet), for each of at most four streams of 5.1.
constexpr std::size_t MaximalPacketSize = 4 * 4000;

// The channel of the interleaved 5.1 input (SurroundSpeakers) that each
// channel in Vorbis order takes: front left, centre, front right, rear left,
// rear right, LFE.
constexpr std::uint32_t VorbisOrder[SurroundSpeakers::Channels] = {0, 2, 1, 4, 5, 3};
} // namespace

void OpusAudioEncoder::EncoderDeleter::operator()(::OpusMSEncoder* Encoder) const noexcept
{
    opus_multistream_encoder_destroy(Encoder);
}

OpusAudioEncoder::OpusAudioEncoder(std::uint32_t Channels, std::uint32_t Bitrate, std::int64_t WindowStart, std::int64_t WindowEnd)
    : m_Grid(SampleRate), m_Channels(Channels), m_WindowStart(WindowStart), m_WindowEnd(WindowEnd)
{
    CHECK_ARGUMENT((Channels >= 1 && Channels <= 2) || Channels == SurroundSpeakers::Channels);
    CHECK_ARGUMENT(WindowStart < WindowEnd);
    m_MappingFamily = Channels <= 2 ? 0 : 1;
    m_Mapping.resize(Channels);
    int Error = OPUS_OK;
    m_Encoder.reset(opus_multistream_surround_encoder_create(static_cast<opus_int32>(SampleRate), static_cast<int>(Channels), m_MappingFamily, &m_Streams,
                                                             &m_CoupledStreams, m_Mapping.data(), OPUS_APPLICATION_AUDIO, &Error));
    CHECK_LINE(Error == OPUS_OK && m_Encoder);
    CHECK_LINE(opus_multistream_encoder_ctl(m_Encoder.get(), OPUS_SET_BITRATE(static_cast<opus_int32>(Bitrate))) == OPUS_OK);
    opus_int32 Lookahead = 0;
    CHECK_LINE(opus_multistream_encoder_ctl(m_Encoder.get(), OPUS_GET_LOOKAHEAD(&Lookahead)) == OPUS_OK);
    CHECK_LINE(Lookahead > 0 && Lookahead < static_cast<opus_int32>(FrameLength));
    m_PreSkip = static_cast<std::uint32_t>(Lookahead);
    m_Frame.resize(static_cast<std::size_t>(FrameLength) * Channels);
    m_Packet.resize(MaximalPacketSize);
}

OpusAudioEncoder::~OpusAudioEncoder() = default;

std::int64_t OpusAudioEncoder::InputStart(std::int64_t WindowStart)
{
    return std::max<std::int64_t>(0, (CeilDivide(WindowStart, FrameLength) - PreRollFrames) * FrameLength);
}

std::int64_t OpusAudioEncoder::InputEnd(std::int64_t WindowEnd)
{
    return WindowEnd == Unbounded ? Unbounded : CeilDivide(WindowEnd, FrameLength) * FrameLength;
}

std::vector<std::uint8_t> OpusAudioEncoder::IdentificationHeader() const
{
    // Little-endian fields, as in an Ogg stream.
    std::vector<std::uint8_t> Header{'O', 'p', 'u', 's', 'H', 'e', 'a', 'd', 1, static_cast<std::uint8_t>(m_Channels)};
    Header.push_back(static_cast<std::uint8_t>(m_PreSkip & 0xFF));
    Header.push_back(static_cast<std::uint8_t>(m_PreSkip >> 8));
    for(int Shift = 0; Shift < 32; Shift += 8)
        Header.push_back(static_cast<std::uint8_t>(SampleRate >> Shift));
    Header.insert(Header.end(), {0, 0, static_cast<std::uint8_t>(m_MappingFamily)}); // output gain, mapping family
    if(m_MappingFamily == 0)
        return Header;
    Header.push_back(static_cast<std::uint8_t>(m_Streams));
    Header.push_back(static_cast<std::uint8_t>(m_CoupledStreams));
    Header.insert(Header.end(), m_Mapping.begin(), m_Mapping.end());
    return Header;
}

void OpusAudioEncoder::Encode(std::int16_t const* Samples, std::uint32_t Count, std::int64_t FirstSample, std::vector<EncodedSample>& Output)
{
    CHECK_POINTER(Samples);
    CHECK_LINE(!m_Drained);
    if(m_NextSample < 0)
    {
        // A run that begins off the grid hears silence before its first sample.
        CHECK_ARGUMENT(FirstSample >= 0);
        m_NextSample = FirstSample;
        m_FrameStart = FloorDivide(FirstSample, FrameLength) * FrameLength;
        m_FrameFill = static_cast<std::uint32_t>(FirstSample - m_FrameStart);
        std::fill_n(m_Frame.begin(), static_cast<std::size_t>(m_FrameFill) * m_Channels, std::int16_t{0});
    }
    CHECK_LINE(FirstSample == m_NextSample);
    m_NextSample += Count;
    std::uint32_t Index = 0;
    while(Index < Count)
    {
        std::uint32_t const Take = std::min(Count - Index, FrameLength - m_FrameFill);
        std::copy_n(Samples + static_cast<std::size_t>(Index) * m_Channels, static_cast<std::size_t>(Take) * m_Channels,
                    m_Frame.begin() + static_cast<std::ptrdiff_t>(m_FrameFill) * m_Channels);
        m_FrameFill += Take;
        Index += Take;
        if(m_FrameFill == FrameLength)
            EncodeFrame(Output);
    }
}

void OpusAudioEncoder::Drain(std::vector<EncodedSample>& Output)
{
    if(m_Drained)
        return;
    m_Drained = true;
    if(m_FrameFill == 0)
        return;
    std::fill(m_Frame.begin() + static_cast<std::ptrdiff_t>(m_FrameFill) * m_Channels, m_Frame.end(), std::int16_t{0});
    EncodeFrame(Output);
}

void OpusAudioEncoder::ToVorbisOrder()
{
    std::int16_t Ours[SurroundSpeakers::Channels];
    for(auto Frame = m_Frame.begin(); Frame != m_Frame.end(); Frame += SurroundSpeakers::Channels)
    {
        std::copy_n(Frame, SurroundSpeakers::Channels, Ours);
        for(std::uint32_t Channel = 0; Channel < SurroundSpeakers::Channels; ++Channel)
            Frame[Channel] = Ours[VorbisOrder[Channel]];
    }
}

void OpusAudioEncoder::EncodeFrame(std::vector<EncodedSample>& Output)
{
    std::int64_t const Start = m_FrameStart;
    m_FrameStart += FrameLength;
    m_FrameFill = 0;
    if(m_Channels == SurroundSpeakers::Channels)
        ToVorbisOrder();
    opus_int32 const Size = opus_multistream_encode(m_Encoder.get(), m_Frame.data(), static_cast<int>(FrameLength), m_Packet.data(),
                                                    static_cast<opus_int32>(m_Packet.size()));
    CHECK_LINE(Size > 0);
    if(Start < m_WindowStart || Start >= m_WindowEnd)
        return;
    EncodedSample Sample;
    Sample.Data.assign(m_Packet.begin(), m_Packet.begin() + Size);
    Sample.Time = m_Grid.SampleTime(Start);
    Sample.Duration = m_Grid.SampleTime(Start + FrameLength) - Sample.Time;
    Sample.KeyFrame = true;
    Sample.FirstSample = Start;
    Sample.SampleCount = FrameLength;
    Output.push_back(std::move(Sample));
}
} // namespace Application
