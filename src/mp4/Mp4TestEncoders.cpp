// SPDX-License-Identifier: GPL-2.0-or-later
#include "mp4/Mp4TestEncoders.h"

#include <cmath>
#include <cstring>
#include <stdexcept>

#include <x264.h>
#include <x265.h>
extern "C"
{
#include <libavcodec/avcodec.h>
}
#include <FLAC/stream_encoder.h>
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

std::int64_t FrameTime(std::int64_t Frame, VideoSettings const& Settings)
{
    return Frame * Settings.m_FrameRateDenominator * UnitsPerSecond / Settings.m_FrameRateNumerator;
}

// A moving square over a gradient, so that every frame differs.
void DrawPicture(std::uint32_t Frame, VideoSettings const& Settings, std::uint8_t* const Planes[3], int const Strides[3])
{
    for(std::uint32_t Y = 0; Y < Settings.m_Height; ++Y)
        for(std::uint32_t X = 0; X < Settings.m_Width; ++X)
        {
            bool const Inside = X >= (Frame * 4) % Settings.m_Width && X < (Frame * 4) % Settings.m_Width + 48 && Y >= 40 && Y < 88;
            Planes[0][Y * Strides[0] + X] = Inside ? 235 : static_cast<std::uint8_t>(16 + (X + Y + Frame) % 200);
        }
    for(std::uint32_t Y = 0; Y < Settings.m_Height / 2; ++Y)
        for(std::uint32_t X = 0; X < Settings.m_Width / 2; ++X)
        {
            Planes[1][Y * Strides[1] + X] = static_cast<std::uint8_t>(128 + (X % 32));
            Planes[2][Y * Strides[2] + X] = static_cast<std::uint8_t>(128 - (Y % 32));
        }
}

EncodedFrame MakeVideoFrame(std::vector<std::uint8_t> Data, std::int64_t Pts, std::int64_t Dts, bool Key, VideoSettings const& Settings)
{
    EncodedFrame Frame;
    Frame.m_Data = std::move(Data);
    Frame.m_Time = FrameTime(Pts, Settings);
    Frame.m_Duration = FrameTime(Pts + 1, Settings) - Frame.m_Time;
    // Decode times may lie before the first presentation time: keep the sign.
    Frame.m_DecodeTime = Dts * static_cast<std::int64_t>(Settings.m_FrameRateDenominator) * UnitsPerSecond / Settings.m_FrameRateNumerator;
    Frame.m_KeyFrame = Key;
    return Frame;
}
} // namespace

std::vector<EncodedFrame> EncodeH264(VideoSettings const& Settings)
{
    x264_param_t Param;
    Require(x264_param_default_preset(&Param, "veryfast", nullptr) == 0, "x264 preset");
    Param.i_width = static_cast<int>(Settings.m_Width);
    Param.i_height = static_cast<int>(Settings.m_Height);
    Param.i_csp = X264_CSP_I420;
    Param.i_fps_num = Settings.m_FrameRateNumerator;
    Param.i_fps_den = Settings.m_FrameRateDenominator;
    Param.i_timebase_num = Settings.m_FrameRateDenominator;
    Param.i_timebase_den = Settings.m_FrameRateNumerator;
    Param.b_vfr_input = 0;
    Param.i_bframe = static_cast<int>(Settings.m_BFrames);
    Param.i_keyint_max = static_cast<int>(Settings.m_KeyFrameInterval);
    Param.i_keyint_min = static_cast<int>(Settings.m_KeyFrameInterval);
    Param.i_scenecut_threshold = 0;
    Param.i_slice_count = static_cast<int>(Settings.m_Slices);
    Param.i_threads = 1;
    Param.b_repeat_headers = 1;
    Param.b_annexb = 1;
    Param.i_log_level = X264_LOG_NONE;
    Require(x264_param_apply_profile(&Param, "high") == 0, "x264 profile");
    x264_t* const Encoder = x264_encoder_open(&Param);
    Require(Encoder, "x264 open");
    x264_picture_t Input;
    x264_picture_alloc(&Input, X264_CSP_I420, Param.i_width, Param.i_height);
    std::vector<EncodedFrame> Frames;
    auto const Collect = [&](x264_picture_t* Picture) {
        x264_nal_t* Nals = nullptr;
        int Count = 0;
        x264_picture_t Output;
        int const Size = x264_encoder_encode(Encoder, &Nals, &Count, Picture, &Output);
        Require(Size >= 0, "x264 encode");
        if(Size > 0)
            Frames.push_back(MakeVideoFrame({Nals[0].p_payload, Nals[0].p_payload + Size}, Output.i_pts, Output.i_dts, Output.b_keyframe != 0, Settings));
    };
    for(std::uint32_t Index = 0; Index < Settings.m_FrameCount; ++Index)
    {
        std::uint32_t const Frame = Settings.m_FirstFrame + Index;
        DrawPicture(Frame, Settings, Input.img.plane, Input.img.i_stride);
        Input.i_pts = Frame;
        Input.i_type = Index == 0 ? X264_TYPE_IDR : X264_TYPE_AUTO;
        Collect(&Input);
    }
    while(x264_encoder_delayed_frames(Encoder) > 0)
        Collect(nullptr);
    x264_picture_clean(&Input);
    x264_encoder_close(Encoder);
    return Frames;
}

std::vector<EncodedFrame> EncodeHevc(VideoSettings const& Settings)
{
    x265_param* const Param = x265_param_alloc();
    Require(x265_param_default_preset(Param, "ultrafast", nullptr) == 0, "x265 preset");
    Param->sourceWidth = static_cast<int>(Settings.m_Width);
    Param->sourceHeight = static_cast<int>(Settings.m_Height);
    Param->fpsNum = Settings.m_FrameRateNumerator;
    Param->fpsDenom = Settings.m_FrameRateDenominator;
    Param->internalCsp = X265_CSP_I420;
    Param->bframes = static_cast<int>(Settings.m_BFrames);
    Param->keyframeMax = static_cast<int>(Settings.m_KeyFrameInterval);
    Param->keyframeMin = static_cast<int>(Settings.m_KeyFrameInterval);
    Param->scenecutThreshold = 0;
    Param->bOpenGOP = 0;
    Param->bRepeatHeaders = 1;
    Param->bAnnexB = 1;
    Param->frameNumThreads = 1;
    Param->logLevel = X265_LOG_NONE;
    Require(x265_param_apply_profile(Param, "main") == 0, "x265 profile");
    x265_encoder* const Encoder = x265_encoder_open(Param);
    Require(Encoder, "x265 open");
    x265_picture* const Input = x265_picture_alloc();
    x265_picture_init(Param, Input);
    std::vector<std::uint8_t> Planes(Settings.m_Width * Settings.m_Height * 3 / 2);
    std::uint8_t* PlanePointers[3] = {Planes.data(), Planes.data() + Settings.m_Width * Settings.m_Height,
                                      Planes.data() + Settings.m_Width * Settings.m_Height * 5 / 4};
    int Strides[3] = {static_cast<int>(Settings.m_Width), static_cast<int>(Settings.m_Width / 2), static_cast<int>(Settings.m_Width / 2)};
    for(int Plane = 0; Plane < 3; ++Plane)
    {
        Input->planes[Plane] = PlanePointers[Plane];
        Input->stride[Plane] = Strides[Plane];
    }
    std::vector<EncodedFrame> Frames;
    auto const Collect = [&](x265_picture* Picture) {
        x265_nal* Nals = nullptr;
        std::uint32_t Count = 0;
        x265_picture Output;
        x265_picture_init(Param, &Output);
        int const Result = x265_encoder_encode(Encoder, &Nals, &Count, Picture, &Output);
        Require(Result >= 0, "x265 encode");
        if(Result == 0)
            return false;
        std::vector<std::uint8_t> Data;
        for(std::uint32_t Index = 0; Index < Count; ++Index)
            Data.insert(Data.end(), Nals[Index].payload, Nals[Index].payload + Nals[Index].sizeBytes);
        Frames.push_back(MakeVideoFrame(std::move(Data), Output.pts, Output.dts, Output.sliceType == X265_TYPE_IDR, Settings));
        return true;
    };
    for(std::uint32_t Index = 0; Index < Settings.m_FrameCount; ++Index)
    {
        std::uint32_t const Frame = Settings.m_FirstFrame + Index;
        DrawPicture(Frame, Settings, PlanePointers, Strides);
        Input->pts = Frame;
        Collect(Input);
    }
    while(Collect(nullptr))
        ;
    x265_picture_free(Input);
    x265_encoder_close(Encoder);
    x265_param_free(Param);
    return Frames;
}

namespace
{
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

AudioStream EncodeAac(std::uint32_t FrameCount)
{
    return EncodeWithLibav("aac", 128000, FrameCount);
}

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

namespace
{
constexpr std::uint32_t FlacBlockSize = 4096;

FLAC__StreamEncoderWriteStatus WriteFlac(FLAC__StreamEncoder const*, FLAC__byte const Buffer[], std::size_t Bytes, std::uint32_t Samples,
                                         std::uint32_t CurrentFrame, void* Client)
{
    auto& Stream = *static_cast<AudioStream*>(Client);
    if(Samples == 0)
    {
        Stream.m_Header.insert(Stream.m_Header.end(), Buffer, Buffer + Bytes);
        return FLAC__STREAM_ENCODER_WRITE_STATUS_OK;
    }
    EncodedFrame Frame;
    Frame.m_Data.assign(Buffer, Buffer + Bytes);
    Frame.m_Position = static_cast<std::uint64_t>(CurrentFrame) * FlacBlockSize;
    Frame.m_SampleCount = Samples;
    Frame.m_KeyFrame = true;
    Stream.m_FrameVector.push_back(std::move(Frame));
    return FLAC__STREAM_ENCODER_WRITE_STATUS_OK;
}
} // namespace

AudioStream EncodeFlac(std::uint32_t SampleCount)
{
    AudioStream Stream;
    FLAC__StreamEncoder* const Encoder = FLAC__stream_encoder_new();
    FLAC__stream_encoder_set_channels(Encoder, 2);
    FLAC__stream_encoder_set_bits_per_sample(Encoder, 16);
    FLAC__stream_encoder_set_sample_rate(Encoder, AudioRate);
    FLAC__stream_encoder_set_compression_level(Encoder, 5);
    FLAC__stream_encoder_set_blocksize(Encoder, FlacBlockSize);
    Require(FLAC__stream_encoder_init_stream(Encoder, WriteFlac, nullptr, nullptr, nullptr, &Stream) == FLAC__STREAM_ENCODER_INIT_STATUS_OK, "FLAC init");
    std::vector<FLAC__int32> Samples(static_cast<std::size_t>(SampleCount) * 2);
    for(std::uint32_t Index = 0; Index < SampleCount; ++Index)
    {
        Samples[Index * 2] = static_cast<FLAC__int32>(8000 * std::sin(2 * M_PI * 440 * Index / AudioRate));
        Samples[Index * 2 + 1] = static_cast<FLAC__int32>(8000 * std::sin(2 * M_PI * 660 * Index / AudioRate));
    }
    Require(FLAC__stream_encoder_process_interleaved(Encoder, Samples.data(), SampleCount), "FLAC encode");
    FLAC__stream_encoder_finish(Encoder);
    FLAC__stream_encoder_delete(Encoder);
    return Stream;
}
} // namespace Mp4::Test
