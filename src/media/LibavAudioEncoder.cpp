// SPDX-License-Identifier: GPL-2.0-or-later
#include "media/LibavAudioEncoder.h"

#include <algorithm>
#include <cstdio>
#include <mutex>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/channel_layout.h>
#include <libavutil/log.h>
}

#include "base/Check.h"
#include "base/MulDiv.h"

namespace Application
{
namespace
{
// libavcodec's messages (statistics at close, warnings) are traces here, not
// console output.
void ForwardLog(void*, int Level, char const* Format, va_list Arguments)
{
    if(Level > AV_LOG_WARNING || !TraceSink::IsEnabled())
        return;
    char Text[512];
    std::vsnprintf(Text, sizeof Text, Format, Arguments);
    TRACE("libavcodec level %d: %s", Level, Text);
}

// The first frame start of the codec's input grid (k × length + phase) at or
// before Sample.
std::int64_t FrameStartAtOrBefore(LibavAudioCodec const& Codec, std::int64_t Sample)
{
    std::int64_t const Phase = Codec.InputPhase();
    return FloorDivide(Sample - Phase, Codec.FrameLength) * Codec.FrameLength + Phase;
}
} // namespace

void LibavAudioEncoder::CodecDeleter::operator()(AVCodecContext* Context) const noexcept
{
    avcodec_free_context(&Context);
}

void LibavAudioEncoder::CodecDeleter::operator()(AVFrame* Frame) const noexcept
{
    av_frame_free(&Frame);
}

void LibavAudioEncoder::CodecDeleter::operator()(AVPacket* Packet) const noexcept
{
    av_packet_free(&Packet);
}

LibavAudioEncoder::LibavAudioEncoder(LibavAudioCodec const& Codec, std::uint32_t SampleRate, std::uint32_t Channels, std::uint32_t Bitrate,
                                     std::int64_t WindowStart, std::int64_t WindowEnd)
    : m_Codec(Codec), m_Grid(SampleRate), m_Channels(Channels), m_WindowStart(WindowStart), m_WindowEnd(WindowEnd)
{
    CHECK_ARGUMENT(Channels > 0 && WindowStart < WindowEnd);
    static std::once_flag LogForwarding;
    std::call_once(LogForwarding, [] { av_log_set_callback(ForwardLog); });
    // The native encoder by name: another encoder of the codec may be registered first.
    AVCodec const* Encoder = avcodec_find_encoder_by_name(std::string(Codec.EncoderName).c_str());
    CHECK_POINTER(Encoder);
    m_Context.reset(avcodec_alloc_context3(Encoder));
    CHECK_POINTER(m_Context);
    m_Context->sample_fmt = AV_SAMPLE_FMT_FLTP;
    m_Context->sample_rate = static_cast<int>(SampleRate);
    av_channel_layout_default(&m_Context->ch_layout, static_cast<int>(Channels));
    m_Context->bit_rate = Bitrate;
    m_Context->profile = Codec.Profile;
    m_Context->time_base = AVRational{1, static_cast<int>(SampleRate)};
    m_Context->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    CHECK_LINE(avcodec_open2(m_Context.get(), Encoder, nullptr) == 0);
    // The grid and the priming the codec description promises.
    CHECK_LINE(m_Context->frame_size == static_cast<int>(Codec.FrameLength));
    CHECK_LINE(m_Context->initial_padding == static_cast<int>(Codec.PrimingSamples));
    if(m_Context->extradata)
        m_Extradata.assign(m_Context->extradata, m_Context->extradata + m_Context->extradata_size);
    m_Frame.reset(av_frame_alloc());
    m_Packet.reset(av_packet_alloc());
    CHECK_POINTER(m_Frame);
    CHECK_POINTER(m_Packet);
    m_Frame->format = AV_SAMPLE_FMT_FLTP;
    m_Frame->sample_rate = m_Context->sample_rate;
    m_Frame->nb_samples = static_cast<int>(Codec.FrameLength);
    CHECK_LINE(av_channel_layout_copy(&m_Frame->ch_layout, &m_Context->ch_layout) == 0);
    CHECK_LINE(av_frame_get_buffer(m_Frame.get(), 0) == 0);
}

LibavAudioEncoder::~LibavAudioEncoder() = default;

std::int64_t LibavAudioEncoder::InputStart(LibavAudioCodec const& Codec, std::int64_t WindowStart)
{
    std::int64_t const FirstFrame = MulDivCeiling(WindowStart, 1, Codec.FrameLength);
    return std::max<std::int64_t>(0, (FirstFrame - Codec.PreRollFrames) * Codec.FrameLength + Codec.InputPhase());
}

std::int64_t LibavAudioEncoder::InputEnd(LibavAudioCodec const& Codec, std::int64_t WindowEnd)
{
    if(WindowEnd == Unbounded)
        return Unbounded;
    return (MulDivCeiling(WindowEnd, 1, Codec.FrameLength) + Codec.PostRollFrames) * Codec.FrameLength + Codec.InputPhase();
}

void LibavAudioEncoder::Encode(std::int16_t const* Samples, std::uint32_t Count, std::int64_t FirstSample, std::vector<EncodedSample>& Output)
{
    CHECK_POINTER(Samples);
    CHECK_LINE(!m_Drained);
    if(m_NextSample < 0)
        Begin(FirstSample);
    CHECK_LINE(FirstSample == m_NextSample);
    m_NextSample += Count;
    std::uint32_t Index = 0;
    while(Index < Count)
    {
        std::uint32_t const Take = std::min(Count - Index, m_Codec.FrameLength - m_FrameFill);
        Fill(Samples + static_cast<std::size_t>(Index) * m_Channels, Take);
        Index += Take;
        if(m_FrameFill == m_Codec.FrameLength)
            SendFrame(Output);
    }
}

void LibavAudioEncoder::Begin(std::int64_t FirstSample)
{
    CHECK_ARGUMENT(FirstSample >= 0);
    m_NextSample = FirstSample;
    m_FrameStart = m_FirstFrame = FrameStartAtOrBefore(m_Codec, FirstSample);
    // What the grid's frame holds before the run's first sample: silence.
    auto const Silence = static_cast<std::uint32_t>(FirstSample - m_FrameStart);
    if(Silence == 0)
        return;
    CHECK_LINE(av_frame_make_writable(m_Frame.get()) == 0);
    for(std::uint32_t Channel = 0; Channel < m_Channels; ++Channel)
        std::fill_n(reinterpret_cast<float*>(m_Frame->extended_data[Channel]), Silence, 0.0f);
    m_FrameFill = Silence;
}

void LibavAudioEncoder::Fill(std::int16_t const* Samples, std::uint32_t Count)
{
    if(m_FrameFill == 0)
        CHECK_LINE(av_frame_make_writable(m_Frame.get()) == 0);
    for(std::uint32_t Channel = 0; Channel < m_Channels; ++Channel)
    {
        auto* const Plane = reinterpret_cast<float*>(m_Frame->extended_data[Channel]) + m_FrameFill;
        std::int16_t const* Source = Samples + Channel;
        for(std::uint32_t Frame = 0; Frame < Count; ++Frame, Source += m_Channels)
            Plane[Frame] = *Source / 32768.0f;
    }
    m_FrameFill += Count;
}

void LibavAudioEncoder::Drain(std::vector<EncodedSample>& Output)
{
    if(m_Drained)
        return;
    if(m_FrameFill > 0)
        SendFrame(Output);
    m_Drained = true;
    CHECK_LINE(avcodec_send_frame(m_Context.get(), nullptr) == 0);
    ReceivePackets(Output);
}

void LibavAudioEncoder::SendFrame(std::vector<EncodedSample>& Output)
{
    m_Frame->nb_samples = static_cast<int>(m_FrameFill);
    m_Frame->pts = m_FrameStart;
    m_FrameStart += m_FrameFill;
    m_FrameFill = 0;
    CHECK_LINE(avcodec_send_frame(m_Context.get(), m_Frame.get()) == 0);
    ReceivePackets(Output);
}

void LibavAudioEncoder::ReceivePackets(std::vector<EncodedSample>& Output)
{
    for(;;)
    {
        int const Result = avcodec_receive_packet(m_Context.get(), m_Packet.get());
        if(Result == AVERROR(EAGAIN) || Result == AVERROR_EOF)
            return;
        CHECK_LINE(Result == 0);
        // Dated PrimingSamples before the frame put in, so on the frame grid.
        std::int64_t const Start = m_Packet->pts;
        std::int64_t const Length = m_Packet->duration > 0 ? m_Packet->duration : m_Codec.FrameLength;
        // Packets that begin before the first frame put in carry the encoder's priming.
        if(Start >= m_WindowStart && Start < m_WindowEnd && Start >= m_FirstFrame)
        {
            EncodedSample Sample;
            Sample.Data.assign(m_Packet->data, m_Packet->data + m_Packet->size);
            Sample.Time = m_Grid.SampleTime(Start);
            Sample.Duration = m_Grid.SampleTime(Start + Length) - Sample.Time;
            Sample.KeyFrame = true;
            Sample.FirstSample = Start;
            Sample.SampleCount = static_cast<std::uint32_t>(Length);
            Output.push_back(std::move(Sample));
        }
        av_packet_unref(m_Packet.get());
    }
}
} // namespace Application
