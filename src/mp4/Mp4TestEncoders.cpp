// SPDX-License-Identifier: GPL-2.0-or-later
#include "mp4/Mp4TestEncoders.h"

#include <cmath>
#include <stdexcept>

extern "C"
{
#include <libavcodec/avcodec.h>
}
#include <opus/opus.h>

namespace Mp4::Test
{
namespace
{
constexpr std::int64_t UnitsPerSecond = 10'000'000;
constexpr std::uint32_t AudioRate = 48000;

void Require(bool Condition, char const* What)
{
    if(!Condition)
        throw std::runtime_error(What);
}

// One of libavcodec's encoders by name, 48 kHz stereo, a tone in each channel.
AudioStream EncodeWithLibav(char const* Name, std::uint32_t Bitrate, std::uint32_t FrameCount)
{
    AVCodec const* const Codec = avcodec_find_encoder_by_name(Name);
    Require(Codec, Name);
    AVCodecContext* Context = avcodec_alloc_context3(Codec);
    Context->sample_rate = AudioRate;
    av_channel_layout_default(&Context->ch_layout, 2);
    Context->sample_fmt = AV_SAMPLE_FMT_FLTP;
    Context->bit_rate = Bitrate;
    Context->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    Require(avcodec_open2(Context, Codec, nullptr) == 0, "open");
    int const Length = Context->frame_size;
    AudioStream Stream;
    if(Context->extradata)
        Stream.m_Header.assign(Context->extradata, Context->extradata + Context->extradata_size);
    AVFrame* Frame = av_frame_alloc();
    AVPacket* Packet = av_packet_alloc();
    auto const Receive = [&] {
        while(avcodec_receive_packet(Context, Packet) == 0)
        {
            // Packets on a grid of frames from 0: the encoder's priming delay is not the sink's business.
            EncodedFrame Encoded;
            Encoded.m_Data.assign(Packet->data, Packet->data + Packet->size);
            std::int64_t const Index = static_cast<std::int64_t>(Stream.m_FrameVector.size());
            Encoded.m_Time = Index * Length * UnitsPerSecond / AudioRate;
            Encoded.m_Duration = (Index + 1) * Length * UnitsPerSecond / AudioRate - Encoded.m_Time;
            Encoded.m_KeyFrame = true;
            Stream.m_FrameVector.push_back(std::move(Encoded));
            av_packet_unref(Packet);
        }
    };
    for(std::uint32_t Index = 0; Index < FrameCount; ++Index)
    {
        Frame->nb_samples = Length;
        Frame->format = Context->sample_fmt;
        av_channel_layout_copy(&Frame->ch_layout, &Context->ch_layout);
        Require(av_frame_get_buffer(Frame, 0) == 0, "frame");
        for(int Channel = 0; Channel < 2; ++Channel)
            for(int Sample = 0; Sample < Frame->nb_samples; ++Sample)
                reinterpret_cast<float*>(Frame->data[Channel])[Sample] =
                    0.3f * static_cast<float>(std::sin(2 * M_PI * (440 + 220 * Channel) * (static_cast<double>(Index) * Length + Sample) / AudioRate));
        Frame->pts = static_cast<std::int64_t>(Index) * Length;
        Require(avcodec_send_frame(Context, Frame) == 0, "send");
        av_frame_unref(Frame);
        Receive();
    }
    avcodec_send_frame(Context, nullptr);
    Receive();
    av_packet_free(&Packet);
    av_frame_free(&Frame);
    avcodec_free_context(&Context);
    return Stream;
}
} // namespace

AudioStream EncodeDolby(bool Enhanced, std::uint32_t FrameCount)
{
    return Enhanced ? EncodeWithLibav("eac3", 128000, FrameCount) : EncodeWithLibav("ac3", 192000, FrameCount);
}

AudioStream EncodeOpus(std::uint32_t FrameCount)
{
    constexpr int FrameLength = 960;
    int Error = OPUS_OK;
    OpusEncoder* const Encoder = opus_encoder_create(AudioRate, 2, OPUS_APPLICATION_AUDIO, &Error);
    Require(Error == OPUS_OK, "Opus create");
    opus_int32 Lookahead = 0;
    opus_encoder_ctl(Encoder, OPUS_GET_LOOKAHEAD(&Lookahead));
    AudioStream Stream;
    // The identification header of an Ogg stream: version 1, two channels,
    // the look-ahead as pre-skip, 48 kHz, no gain, mapping family 0.
    Stream.m_Header = {'O', 'p', 'u', 's', 'H', 'e', 'a', 'd', 1, 2, static_cast<std::uint8_t>(Lookahead), static_cast<std::uint8_t>(Lookahead >> 8),
                       0x80, 0xBB, 0, 0, 0, 0, 0};
    std::vector<opus_int16> Samples(FrameLength * 2);
    std::vector<std::uint8_t> Packet(4000);
    for(std::uint32_t Index = 0; Index < FrameCount; ++Index)
    {
        for(int Sample = 0; Sample < FrameLength; ++Sample)
            for(int Channel = 0; Channel < 2; ++Channel)
                Samples[Sample * 2 + Channel] = static_cast<opus_int16>(
                    8000 * std::sin(2 * M_PI * (440 + 220 * Channel) * (static_cast<double>(Index) * FrameLength + Sample) / AudioRate));
        opus_int32 const Size = opus_encode(Encoder, Samples.data(), FrameLength, Packet.data(), static_cast<opus_int32>(Packet.size()));
        Require(Size > 0, "Opus encode");
        EncodedFrame Encoded;
        Encoded.m_Data.assign(Packet.begin(), Packet.begin() + Size);
        Encoded.m_Time = std::int64_t{Index} * FrameLength * UnitsPerSecond / AudioRate;
        Encoded.m_Duration = (std::int64_t{Index} + 1) * FrameLength * UnitsPerSecond / AudioRate - Encoded.m_Time;
        Encoded.m_KeyFrame = true;
        Stream.m_FrameVector.push_back(std::move(Encoded));
    }
    opus_encoder_destroy(Encoder);
    return Stream;
}

} // namespace Mp4::Test
