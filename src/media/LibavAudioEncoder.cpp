// SPDX-License-Identifier: GPL-2.0-or-later
#include "media/AacEncoder.h"

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
} // namespace

void AacEncoder::CodecDeleter::operator()(AVCodecContext* Context) const noexcept
{
    avcodec_free_context(&Context);
}

void AacEncoder::CodecDeleter::operator()(AVFrame* Frame) const noexcept
{
    av_frame_free(&Frame);
}

void AacEncoder::CodecDeleter::operator()(AVPacket* Packet) const noexcept
{
    av_packet_free(&Packet);
}

AacEncoder::AacEncoder(std::uint32_t SampleRate, std::uint32_t Channels, std::uint32_t Bitrate, std::int64_t WindowStart, std::int64_t WindowEnd)
    : m_Grid(SampleRate), m_Channels(Channels), m_WindowStart(WindowStart), m_WindowEnd(WindowEnd)
{
    CHECK_ARGUMENT(Channels > 0 && WindowStart < WindowEnd);
    static std::once_flag LogForwarding;
    std::call_once(LogForwarding, [] { av_log_set_callback(ForwardLog); });
    // The native encoder by name: another AAC encoder may be registered first.
    AVCodec const* Codec = avcodec_find_encoder_by_name("aac");
    CHECK_POINTER(Codec);
    m_Context.reset(avcodec_alloc_context3(Codec));
    CHECK_POINTER(m_Context);
    m_Context->sample_fmt = AV_SAMPLE_FMT_FLTP;
    m_Context->sample_rate = static_cast<int>(SampleRate);
    av_channel_layout_default(&m_Context->ch_layout, static_cast<int>(Channels));
    m_Context->bit_rate = Bitrate;
    m_Context->profile = FF_PROFILE_AAC_LOW;
    m_Context->time_base = AVRational{1, static_cast<int>(SampleRate)};
    m_Context->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    CHECK_LINE(avcodec_open2(m_Context.get(), Codec, nullptr) == 0);
    CHECK_LINE(m_Context->frame_size == static_cast<int>(FrameLength));
    m_AudioSpecificConfig.assign(m_Context->extradata, m_Context->extradata + m_Context->extradata_size);
    m_Frame.reset(av_frame_alloc());
    m_Packet.reset(av_packet_alloc());
    CHECK_POINTER(m_Frame);
    CHECK_POINTER(m_Packet);
    m_Frame->format = AV_SAMPLE_FMT_FLTP;
    m_Frame->sample_rate = m_Context->sample_rate;
    m_Frame->nb_samples = static_cast<int>(FrameLength);
    CHECK_LINE(av_channel_layout_copy(&m_Frame->ch_layout, &m_Context->ch_layout) == 0);
    CHECK_LINE(av_frame_get_buffer(m_Frame.get(), 0) == 0);
}

AacEncoder::~AacEncoder() = default;

std::int64_t AacEncoder::InputStart(std::int64_t WindowStart)
{
    std::int64_t const FirstFrame = MulDivCeiling(WindowStart, 1, FrameLength);
    return std::max<std::int64_t>(0, (FirstFrame - PreRollFrames) * FrameLength);
}

std::int64_t AacEncoder::InputEnd(std::int64_t WindowEnd)
{
    if(WindowEnd == Unbounded)
        return Unbounded;
    return (MulDivCeiling(WindowEnd, 1, FrameLength) + PostRollFrames) * FrameLength;
}

void AacEncoder::Encode(std::int16_t const* Samples, std::uint32_t Count, std::int64_t FirstSample, std::vector<EncodedSample>& Output)
{
    CHECK_POINTER(Samples);
    CHECK_LINE(!m_Drained);
    if(m_NextSample < 0)
    {
        CHECK_ARGUMENT(FirstSample >= 0);
        m_NextSample = FirstSample;
        m_FrameStart = MulDivCeiling(FirstSample, 1, FrameLength) * FrameLength;
        m_FirstFrame = m_FrameStart;
    }
    CHECK_LINE(FirstSample == m_NextSample);
    m_NextSample += Count;
    std::uint32_t Index = 0;
    if(FirstSample < m_FrameStart && m_FrameFill == 0)
        Index = static_cast<std::uint32_t>(std::min<std::int64_t>(Count, m_FrameStart - FirstSample));
    while(Index < Count)
    {
        if(m_FrameFill == 0)
            CHECK_LINE(av_frame_make_writable(m_Frame.get()) == 0);
        std::uint32_t const Take = std::min(Count - Index, FrameLength - m_FrameFill);
        for(std::uint32_t Channel = 0; Channel < m_Channels; ++Channel)
        {
            auto* const Plane = reinterpret_cast<float*>(m_Frame->extended_data[Channel]) + m_FrameFill;
            std::int16_t const* Source = Samples + static_cast<std::size_t>(Index) * m_Channels + Channel;
            for(std::uint32_t Frame = 0; Frame < Take; ++Frame, Source += m_Channels)
                Plane[Frame] = *Source / 32768.0f;
        }
        m_FrameFill += Take;
        Index += Take;
        if(m_FrameFill == FrameLength)
            SendFrame(Output);
    }
}

void AacEncoder::Drain(std::vector<EncodedSample>& Output)
{
    if(m_Drained)
        return;
    if(m_FrameFill > 0)
        SendFrame(Output);
    m_Drained = true;
    CHECK_LINE(avcodec_send_frame(m_Context.get(), nullptr) == 0);
    ReceivePackets(Output);
}

void AacEncoder::SendFrame(std::vector<EncodedSample>& Output)
{
    m_Frame->nb_samples = static_cast<int>(m_FrameFill);
    m_Frame->pts = m_FrameStart;
    m_FrameStart += m_FrameFill;
    m_FrameFill = 0;
    CHECK_LINE(avcodec_send_frame(m_Context.get(), m_Frame.get()) == 0);
    ReceivePackets(Output);
}

void AacEncoder::ReceivePackets(std::vector<EncodedSample>& Output)
{
    for(;;)
    {
        int const Result = avcodec_receive_packet(m_Context.get(), m_Packet.get());
        if(Result == AVERROR(EAGAIN) || Result == AVERROR_EOF)
            return;
        CHECK_LINE(Result == 0);
        std::int64_t const Start = m_Packet->pts;
        std::int64_t const Length = m_Packet->duration > 0 ? m_Packet->duration : FrameLength;
        // Packets before the first frame put in carry the encoder's priming.
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
