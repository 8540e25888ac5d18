// SPDX-License-Identifier: GPL-2.0-or-later
#include "media/OpusAudioEncoder.h"

#include <algorithm>

#include <opus/opus.h>

#include "base/Check.h"
#include "base/MulDiv.h"

namespace Application
{
namespace
{
// The largest packet of one frame (RFC 6716 3.4: 1275 bytes a frame, three
// frames and their lengths at most in one packet).
constexpr std::size_t MaximalPacketSize = 4000;
} // namespace

void OpusAudioEncoder::EncoderDeleter::operator()(::OpusEncoder* Encoder) const noexcept
{
    opus_encoder_destroy(Encoder);
}

OpusAudioEncoder::OpusAudioEncoder(std::uint32_t Channels, std::uint32_t Bitrate, std::int64_t WindowStart, std::int64_t WindowEnd)
    : m_Grid(SampleRate), m_Channels(Channels), m_WindowStart(WindowStart), m_WindowEnd(WindowEnd)
{
    CHECK_ARGUMENT(Channels >= 1 && Channels <= 2 && WindowStart < WindowEnd);
    int Error = OPUS_OK;
    m_Encoder.reset(opus_encoder_create(static_cast<opus_int32>(SampleRate), static_cast<int>(Channels), OPUS_APPLICATION_AUDIO, &Error));
    CHECK_LINE(Error == OPUS_OK && m_Encoder);
    CHECK_LINE(opus_encoder_ctl(m_Encoder.get(), OPUS_SET_BITRATE(static_cast<opus_int32>(Bitrate))) == OPUS_OK);
    opus_int32 Lookahead = 0;
    CHECK_LINE(opus_encoder_ctl(m_Encoder.get(), OPUS_GET_LOOKAHEAD(&Lookahead)) == OPUS_OK);
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
    Header.insert(Header.end(), {0, 0, 0}); // output gain, mapping family
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

void OpusAudioEncoder::EncodeFrame(std::vector<EncodedSample>& Output)
{
    std::int64_t const Start = m_FrameStart;
    m_FrameStart += FrameLength;
    m_FrameFill = 0;
    opus_int32 const Size = opus_encode(m_Encoder.get(), m_Frame.data(), static_cast<int>(FrameLength), m_Packet.data(),
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
