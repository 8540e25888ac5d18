// SPDX-License-Identifier: GPL-2.0-or-later
// Packaging throughput of the fragmented MP4 sink: a 3 s 720p25 H.264 segment
// and 3 s of 48 kHz AAC, as the encoders make them, packaged clear, "cenc"
// and "cbcs" into the memory byte stream; beside it the time producing that
// segment takes (drawing, conversion, encoding) and the ffmpeg command line
// packaging the same stream in the same run.
//
//   quorvel_mp4_bench [rounds]     (medians of rounds, 9 by default)

#include "BenchTiming.h"
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <unistd.h>
#include <vector>

#include "mf/Guids.h"
#include "mf/IStreamSink.h"
#include "mf/Sample.h"
#include "mf/PresentationClock.h"
#include "media/LibavAudioEncoder.h"
#include "media/ToneBurstSignal.h"
#include "media/VideoEncoder.h"
#include "media/VideoFrameComposer.h"
#include "media/VideoFrameConverter.h"
#include "media/VideoFrameGrid.h"
#include "mp4/MemorySinkByteStream.h"
#include "mp4/Mp4MediaSink.h"

using namespace Application;

namespace
{
constexpr std::uint32_t Width = 1280;
constexpr std::uint32_t Height = 720;
constexpr std::uint32_t SegmentFrames = 75;
constexpr std::int64_t SegmentStart = 30'000'000;
constexpr std::uint32_t AudioRate = 48000;

using BenchTiming::Median;
using BenchTiming::Seconds;

std::vector<EncodedSample> EncodeVideoSegment()
{
    VideoEncoderSettings Settings;
    Settings.Format = VideoEncoderSettings::Codec::H264;
    Settings.Width = Width;
    Settings.Height = Height;
    Settings.RateN = 25;
    Settings.RateD = 1;
    Settings.Bitrate = 2400000;
    Settings.BPictureCount = 4;
    std::vector<std::uint8_t> Argb(Width * Height * 4);
    std::vector<std::uint8_t> Planar(VideoPicture::ContiguousSize(Width, Height));
    auto const Picture = VideoPicture::Contiguous(VideoPicture::Layout::Nv12, Width, Height, Planar.data());
    VideoFrameComposer Composer({Width, Height, 25, 1});
    VideoFrameGrid const Grid(25, 1);
    auto Encoder = VideoEncoder::Create(Settings);
    std::vector<EncodedSample> Output;
    for(std::int64_t Index = 75; Index < 75 + SegmentFrames; ++Index)
    {
        Composer.Compose(Index, Grid.FrameTime(Index), Argb.data(), Width * 4);
        VideoFrameConverter::Convert(Argb.data(), Width * 4, Picture);
        Encoder->Encode(Picture, Grid.FrameTime(Index), Grid.FrameDuration(Index), Output);
    }
    Encoder->Drain(Output);
    return Output;
}

std::vector<EncodedSample> EncodeAudioSegment(std::vector<std::uint8_t>& AudioSpecificConfig)
{
    std::int64_t const First = SegmentStart * AudioRate / 10'000'000;
    std::int64_t const End = First + 3 * AudioRate;
    LibavAudioEncoder Encoder(LibavAudioCodec::Aac(), AudioRate, 2, 128000, First, End);
    ToneBurstSignal const Signal(AudioRate);
    std::vector<std::int16_t> Samples(480 * 2);
    std::vector<EncodedSample> Output;
    for(std::int64_t Index = LibavAudioEncoder::InputStart(LibavAudioCodec::Aac(), First); Index < LibavAudioEncoder::InputEnd(LibavAudioCodec::Aac(), End); Index += 480)
    {
        Signal.Write(Index, 480, 2, ToneBurstSignal::SampleFormat::Pcm16, {reinterpret_cast<std::uint8_t*>(Samples.data()), Samples.size() * 2});
        Encoder.Encode(Samples.data(), 480, Index, Output);
    }
    Encoder.Drain(Output);
    AudioSpecificConfig = Encoder.Extradata();
    return Output;
}

std::shared_ptr<MF::MediaType> VideoType()
{
    auto Type = std::make_shared<MF::MediaType>();
    Type->SetGUID(MF::MF_MT_MAJOR_TYPE, MF::MFMediaType_Video);
    Type->SetGUID(MF::MF_MT_SUBTYPE, MF::MFVideoFormat_H264);
    Type->SetSize(MF::MF_MT_FRAME_SIZE, Width, Height);
    Type->SetRatio(MF::MF_MT_FRAME_RATE, 25, 1);
    return Type;
}

std::shared_ptr<MF::MediaType> AudioType(std::vector<std::uint8_t> const& AudioSpecificConfig)
{
    auto Type = std::make_shared<MF::MediaType>();
    Type->SetGUID(MF::MF_MT_MAJOR_TYPE, MF::MFMediaType_Audio);
    Type->SetGUID(MF::MF_MT_SUBTYPE, MF::MFAudioFormat_AAC);
    Type->SetUINT32(MF::MF_MT_AUDIO_SAMPLES_PER_SECOND, AudioRate);
    Type->SetUINT32(MF::MF_MT_AUDIO_NUM_CHANNELS, 2);
    Type->SetUINT32(MF::MF_MT_AVG_BITRATE, 128000);
    Type->SetBlob(MF::MF_MT_USER_DATA, AudioSpecificConfig);
    return Type;
}

Mp4::ProtectionSettings Protection(Mp4::ProtectionScheme Scheme)
{
    Mp4::ProtectionSettings Settings;
    Settings.m_Scheme = Scheme;
    Settings.m_KeyIdentifier.assign(16, 0xA3);
    Settings.m_Key.assign(16, 0x3C);
    Settings.m_InitializationVector.assign(16, 0xD5);
    return Settings;
}

// One sink run over the samples, as a segment run feeds it; the samples are
// copied first (outside the timing is not possible: the sink encrypts in
// place), which the figure includes.
std::size_t Package(std::shared_ptr<MF::MediaType> const& Type, std::vector<EncodedSample> const& Encoded, Mp4::ProtectionSettings const& Settings)
{
    auto const ByteStream = Mp4::MemorySinkByteStream::Create();
    auto const Sink = Mp4::Mp4MediaSink::Create(ByteStream);
    Sink->SetProtection(Settings);
    auto const Stream = Sink->AddStreamSink(1, Type);
    auto const Clock = MF::PresentationClock::Create();
    Sink->SetPresentationClock(Clock);
    Clock->Start(SegmentStart);
    for(auto const& Value : Encoded)
    {
        auto Sample = MF::Sample::Create();
        Sample->AddBuffer(MF::MediaBuffer::CreateFrom(Value.Data));
        Sample->SetSampleTime(Value.Time);
        Sample->SetSampleDuration(Value.Duration);
        Sample->SetUINT32(MF::MFSampleExtension_CleanPoint, Value.KeyFrame ? 1 : 0);
        if(Value.DecodeTime)
            Sample->SetINT64(MF::MFSampleExtension_DecodeTimestamp, *Value.DecodeTime);
        Stream->ProcessSample(Sample);
    }
    Clock->Stop();
    Sink->Shutdown();
    std::size_t Size = 0;
    for(auto const& Write : ByteStream->TakeWrites())
        Size += Write->size();
    return Size;
}

std::size_t PayloadSize(std::vector<EncodedSample> const& Encoded)
{
    std::size_t Size = 0;
    for(auto const& Value : Encoded)
        Size += Value.Data.size();
    return Size;
}

std::string WriteElementaryStream(std::vector<EncodedSample> const& Encoded, char const* Extension)
{
    std::string const Path = "/tmp/quorvel-mp4-bench-" + std::to_string(getpid()) + Extension;
    FILE* File = std::fopen(Path.c_str(), "wb");
    for(auto const& Value : Encoded)
        std::fwrite(Value.Data.data(), 1, Value.Data.size(), File);
    std::fclose(File);
    return Path;
}

void RunFfmpeg(std::string const& Arguments)
{
    std::string const Command = "ffmpeg -hide_banner -nostdin -v error " + Arguments + " -y /dev/null";
    if(std::system(Command.c_str()) != 0)
        std::fprintf(stderr, "failed: %s\n", Command.c_str());
}

void Line(char const* What, double Time, std::size_t Bytes, double Production)
{
    std::printf("%-34s %8.2f ms %9.0f MB/s %8.2f %% of producing the segment\n", What, Time * 1000.0, Bytes / Time / 1e6, 100.0 * Time / Production);
}
} // namespace

int main(int ArgumentCount, char** Arguments)
{
    int const Rounds = ArgumentCount > 1 ? std::max(1, std::atoi(Arguments[1])) : 9;
    std::vector<EncodedSample> Video;
    double const VideoProduction = Seconds([&] { Video = EncodeVideoSegment(); });
    std::vector<std::uint8_t> AudioSpecificConfig;
    std::vector<EncodedSample> Audio;
    double const AudioProduction = Seconds([&] { Audio = EncodeAudioSegment(AudioSpecificConfig); });
    std::printf("3 s segment at 720p25, H.264: %zu samples, %zu bytes, produced in %.0f ms\n", Video.size(), PayloadSize(Video), VideoProduction * 1000);
    std::printf("3 s of 48 kHz stereo AAC: %zu samples, %zu bytes, produced in %.1f ms\n", Audio.size(), PayloadSize(Audio), AudioProduction * 1000);
    std::printf("%d rounds, medians\n\n", Rounds);

    auto const Video264 = VideoType();
    auto const Aac = AudioType(AudioSpecificConfig);
    for(auto const& [Name, Scheme] : {std::pair{"clear", Mp4::ProtectionScheme::None}, std::pair{"cenc", Mp4::ProtectionScheme::Cenc},
                                      std::pair{"cbcs", Mp4::ProtectionScheme::Cbcs}})
    {
        std::size_t Bytes = 0;
        double const VideoTime = Median(Rounds, [&] { Bytes = Package(Video264, Video, Protection(Scheme)); });
        Line((std::string("video ") + Name).c_str(), VideoTime, Bytes, VideoProduction);
        double const AudioTime = Median(Rounds, [&] { Bytes = Package(Aac, Audio, Protection(Scheme)); });
        Line((std::string("audio ") + Name).c_str(), AudioTime, Bytes, AudioProduction);
    }

    // The peer: ffmpeg packaging the same H.264 stream one fragment per frame, clear and cenc.
    std::string const Path = WriteElementaryStream(Video, ".h264");
    std::string const Input = "-f h264 -framerate 25 -i " + Path + " -c copy -movflags frag_every_frame+empty_moov -f mp4";
    double const Peer = Median(Rounds, [&] { RunFfmpeg(Input); });
    double const PeerCenc = Median(Rounds, [&] {
        RunFfmpeg("-f h264 -framerate 25 -i " + Path +
                  " -c copy -encryption_scheme cenc-aes-ctr -encryption_key 3c3c3c3c3c3c3c3c3c3c3c3c3c3c3c3c -encryption_kid a3a3a3a3a3a3a3a3a3a3a3a3a3a3a3a3"
                  " -movflags frag_every_frame+empty_moov -f mp4");
    });
    std::remove(Path.c_str());
    std::printf("\npeer, ffmpeg command line (process start included): video clear %.1f ms, cenc %.1f ms\n", Peer * 1000, PeerCenc * 1000);
    return 0;
}
