// SPDX-License-Identifier: GPL-2.0-or-later
// Frames per second of drawing, colour conversion and encoding at 720p25, and
// the time of one segment's worth of each codec, side by side with the ffmpeg
// command line drawing an equivalent picture (or taking the same audio
// samples) and encoding it in the same run.
//
//   quorvel_media_bench [rounds]          (medians of rounds, 5 by default)
//   quorvel_media_bench [rounds] thumbs   one thumbnail tile only

#include "BenchTiming.h"
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <tuple>
#include <unistd.h>
#include <utility>
#include <vector>

#include "base/StringFormat.h"
#include "media/FlacEncoder.h"
#include "media/LibavAudioEncoder.h"
#include "media/OpusAudioEncoder.h"
#include "media/SpokenNames.h"
#include "media/ThumbnailTilePainter.h"
#include "media/FrameCodePainter.h"
#include "media/H264Encoder.h"
#include "media/Av1Encoder.h"
#include "media/HevcEncoder.h"
#include "media/Vp9Encoder.h"
#include "media/ToneBurstSignal.h"
#include "media/VideoEncoder.h"
#include "media/VideoFrameComposer.h"
#include "media/VideoFrameConverter.h"
#include "media/VideoFrameGrid.h"
#include "mp4/Mp4HdrStaticMetadata.h"

using namespace Application;

namespace
{
constexpr std::uint32_t Width = 1280;
constexpr std::uint32_t Height = 720;
constexpr std::uint32_t SegmentFrames = 75;
constexpr char const* FontDirectory = "/usr/share/fonts/truetype/open-sans/";

using BenchTiming::Median;
using BenchTiming::Seconds;

VideoEncoderSettings SegmentSettings(VideoEncoderSettings::Codec Format)
{
    VideoEncoderSettings Value;
    Value.Format = Format;
    Value.Width = Width;
    Value.Height = Height;
    Value.RateN = 25;
    Value.RateD = 1;
    Value.Bitrate = 2400000;
    if(Format == VideoEncoderSettings::Codec::H264)
        Value.BPictureCount = 4;
    return Value;
}

struct Buffers
{
    std::vector<std::uint8_t> Argb = std::vector<std::uint8_t>(Width * Height * 4);
    std::vector<std::uint8_t> Planar = std::vector<std::uint8_t>(VideoPicture::ContiguousSize(Width, Height));
    VideoPicture Picture = VideoPicture::Contiguous(VideoPicture::Layout::Nv12, Width, Height, Planar.data());
};

// One segment as a segment run makes it: frames drawn, converted, encoded.
// FirstOutput gets the seconds until the first sample came out.
void EncodeSegment(Buffers& Frames, VideoEncoderSettings const& Settings, double* FirstOutput = nullptr)
{
    auto const Start = std::chrono::steady_clock::now();
    VideoFrameComposer Composer({Width, Height, 25, 1});
    VideoFrameGrid const Grid(25, 1);
    auto Encoder = VideoEncoder::Create(Settings);
    std::vector<EncodedSample> Output;
    for(std::int64_t Index = 150; Index < 150 + SegmentFrames; ++Index)
    {
        Composer.Compose(Index, Grid.FrameTime(Index), Frames.Argb.data(), Width * 4);
        VideoFrameConverter::Convert(Frames.Argb.data(), Width * 4, Frames.Picture);
        Encoder->Encode(Frames.Picture, Grid.FrameTime(Index), Grid.FrameDuration(Index), Output);
        if(FirstOutput && !Output.empty() && *FirstOutput < 0.0)
            *FirstOutput = std::chrono::duration<double>(std::chrono::steady_clock::now() - Start).count();
    }
    Encoder->Drain(Output);
}

// The same for a PQ row: 10-bit pictures (HdrPicturePainter), BT.2020 P010,
// the Main10 or 10-bit AV1 encoder.
void EncodeWideSegment(VideoEncoderSettings Settings)
{
    Settings.Range = DynamicRange::Pq;
    Settings.InputFormat = VideoPicture::Layout::P010;
    VideoFrameComposer::Parameters Parameters{Width, Height, 25, 1};
    Parameters.Range = DynamicRange::Pq;
    VideoFrameComposer Composer(Parameters);
    VideoFrameGrid const Grid(25, 1);
    std::vector<std::uint8_t> Argb(Width * Height * 4);
    std::vector<std::uint8_t> Planar(VideoPicture::ContiguousSize(Width, Height, VideoPicture::Layout::P010));
    auto const Picture = VideoPicture::Contiguous(VideoPicture::Layout::P010, Width, Height, Planar.data());
    auto Encoder = VideoEncoder::Create(Settings);
    std::vector<EncodedSample> Output;
    for(std::int64_t Index = 150; Index < 150 + SegmentFrames; ++Index)
    {
        Composer.Compose(Index, Grid.FrameTime(Index), Argb.data(), Width * 4);
        VideoFrameConverter::Convert(Argb.data(), Width * 4, Picture);
        Encoder->Encode(Picture, Grid.FrameTime(Index), Grid.FrameDuration(Index), Output);
    }
    Encoder->Drain(Output);
}

template <typename EncoderT>
void EncodeAudio(EncoderT& Encoder, std::int64_t First, std::int64_t End, ToneBurstSignal const& Signal = ToneBurstSignal(48000))
{
    std::vector<std::int16_t> Samples(480 * 2);
    std::vector<EncodedSample> Output;
    for(std::int64_t Index = First; Index < End; Index += 480)
    {
        Signal.Write(Index, 480, 2, ToneBurstSignal::SampleFormat::Pcm16, {reinterpret_cast<std::uint8_t*>(Samples.data()), Samples.size() * 2});
        Encoder.Encode(Samples.data(), 480, Index, Output);
    }
    Encoder.Drain(Output);
}

// The same picture from ffmpeg's filters: a black frame, a swaying box and
// three lines of text.
std::string FfmpegPicture(std::uint32_t Frames)
{
    std::string const Sway = "213.333*sin(2*PI*n/100)";
    auto Text = [&](char const* Font, int Size, char const* Content, int Top) {
        return StringFormat(",drawtext=fontfile=%s%s:fontsize=%d:fontcolor=0xF0E68C:text='%s':x=(w-tw)/2+%s:y=%d", FontDirectory, Font, Size,
                            Content, Sway.c_str(), Top);
    };
    return StringFormat("-f lavfi -i \"color=c=black:s=%ux%u:r=25[bg];color=c=0x00008B:s=768x540:r=25[box];"
                        "[bg][box]overlay=x='256+%s':y=90:shortest=1",
                        Width, Height, Sway.c_str()) +
           Text("OpenSans-Semibold.ttf", 120, "%{frame_num}", 190) + Text("OpenSans-Regular.ttf", 60, "%{pts\\:hms}", 330) +
           Text("OpenSans-Regular.ttf", 22, "(1280x720@25)", 420) + StringFormat("\" -frames:v %u -pix_fmt nv12", Frames);
}

void RunFfmpeg(std::string const& Arguments)
{
    std::string const Command = "ffmpeg -hide_banner -nostdin -v error " + Arguments + " -y -f null /dev/null";
    if(std::system(Command.c_str()) != 0)
        std::fprintf(stderr, "failed: %s\n", Command.c_str());
}

// The pictures of a segment as raw NV12, for the peer to encode exactly what
// our encoder gets.
std::string WriteRawSegment(Buffers& Frames)
{
    std::string const Path = "/tmp/quorvel-media-bench-" + std::to_string(getpid()) + ".nv12";
    FILE* File = std::fopen(Path.c_str(), "wb");
    VideoFrameComposer Composer({Width, Height, 25, 1});
    for(std::uint32_t Index = 150; Index < 150 + SegmentFrames; ++Index)
    {
        Composer.Compose(Index, Index * 400000LL, Frames.Argb.data(), Width * 4);
        VideoFrameConverter::Convert(Frames.Argb.data(), Width * 4, Frames.Picture);
        std::fwrite(Frames.Planar.data(), 1, Frames.Planar.size(), File);
    }
    std::fclose(File);
    return Path;
}

// Medians of ours and the peer's times, rounds alternating so that the load
// of the machine weighs on both alike.
std::pair<double, double> Compare(int Rounds, std::function<void()> const& Ours, std::function<void()> const& Peer)
{
    std::vector<double> OurTimes;
    std::vector<double> PeerTimes;
    for(int Round = 0; Round < Rounds; ++Round)
    {
        OurTimes.push_back(Seconds(Ours));
        PeerTimes.push_back(Seconds(Peer));
    }
    std::sort(OurTimes.begin(), OurTimes.end());
    std::sort(PeerTimes.begin(), PeerTimes.end());
    return {OurTimes[OurTimes.size() / 2], PeerTimes[PeerTimes.size() / 2]};
}

void Line(char const* What, double Ours, double Peer)
{
    if(Peer > 0.0)
        std::printf("%-44s %9.1f ms %9.1f ms   ratio %.2f\n", What, Ours * 1000.0, Peer * 1000.0, Ours / Peer);
    else
        std::printf("%-44s %9.1f ms\n", What, Ours * 1000.0);
}
// The audio of a segment as raw 16-bit stereo PCM, for the peer to encode
// exactly what our encoders get: [First, End) of the tone-burst signal.
std::string WriteRawAudio(std::int64_t First, std::int64_t End)
{
    std::string const Path = "/tmp/quorvel-media-bench-" + std::to_string(getpid()) + ".pcm";
    ToneBurstSignal const Signal(48000);
    std::vector<std::int16_t> Samples(static_cast<std::size_t>(End - First) * 2);
    Signal.Write(First, static_cast<std::uint32_t>(End - First), 2, ToneBurstSignal::SampleFormat::Pcm16,
                 {reinterpret_cast<std::uint8_t*>(Samples.data()), Samples.size() * 2});
    FILE* File = std::fopen(Path.c_str(), "wb");
    std::fwrite(Samples.data(), 2, Samples.size(), File);
    std::fclose(File);
    return Path;
}

// One default audio segment (6 s, the second of the presentation) of each
// codec made as a segment run makes it, its pre- and post-roll included,
// beside the ffmpeg command line encoding the same samples with the same
// encoder and settings (that process's start-up included).
void AudioSegments(int Rounds)
{
    constexpr std::int64_t First = 288000;
    constexpr std::int64_t End = 576000;
    std::string const Raw = WriteRawAudio(First, End);
    std::string const Input = "-f s16le -ar 48000 -ac 2 -i " + Raw;
    auto Libav = [&](char const* What, LibavAudioCodec const& Codec, std::uint32_t Bitrate, char const* Peer) {
        auto const [Ours, Theirs] = Compare(Rounds, [&] {
            LibavAudioEncoder Encoder(Codec, 48000, 2, Bitrate, First, End);
            EncodeAudio(Encoder, LibavAudioEncoder::InputStart(Codec, First), LibavAudioEncoder::InputEnd(Codec, End));
        }, [&] { RunFfmpeg(Input + Peer); });
        Line(What, Ours, Theirs);
    };
    // What the peer's times hold besides encoding: the process, reading the
    // samples and passing them on unencoded.
    Line("ffmpeg command line, same samples, no encoder", Median(Rounds, [&] { RunFfmpeg(Input + " -c:a pcm_s16le"); }), 0.0);
    Libav("AAC segment (6 s, 128 kbit/s)", LibavAudioCodec::Aac(), 128000, " -c:a aac -b:a 128k");
    auto const [Opus, PeerOpus] = Compare(Rounds, [&] {
        OpusAudioEncoder Encoder(2, 128000, First, End);
        EncodeAudio(Encoder, OpusAudioEncoder::InputStart(First), OpusAudioEncoder::InputEnd(End));
    }, [&] { RunFfmpeg(Input + " -c:a libopus -b:a 128k -frame_duration 20 -application audio"); });
    Line("Opus segment (6 s, 128 kbit/s)", Opus, PeerOpus);
    Libav("AC-3 segment (6 s, 192 kbit/s)", LibavAudioCodec::Ac3(), 192000, " -c:a ac3 -b:a 192k");
    Libav("E-AC-3 segment (6 s, 128 kbit/s)", LibavAudioCodec::Ec3(), 128000, " -c:a eac3 -b:a 128k");
    std::remove(Raw.c_str());
}

// What the spoken names of language renditions cost: making each name once
// (espeak-ng's start-up in the first), and the AAC segment that holds a name
// (6 to 12 s: the name from 10.2 s) beside the same segment without a voice.
void SpokenNameFigures(int Rounds)
{
    Line("espeak-ng start-up and \"English\" (first name)", Seconds([] { SpokenNames::Render("en", "English", 48000); }), 0.0);
    Line("\"English\", \"Français\", \"Deutsch\" made again", Median(Rounds, [] {
        for(auto const& [Tag, Name] : {std::pair{"en", "English"}, std::pair{"fr", "Français"}, std::pair{"de", "Deutsch"}})
            SpokenNames::Render(Tag, Name, 48000);
    }), 0.0);
    ToneBurstSignal Voiced(48000);
    Voiced.SetVoice({1, SpokenNames::Of("fr", "Français", 48000)});
    auto const Aac = LibavAudioCodec::Aac();
    auto const [Spoken, Plain] = Compare(Rounds, [&] {
        LibavAudioEncoder Encoder(Aac, 48000, 2, 128000, 288000, 576000);
        EncodeAudio(Encoder, LibavAudioEncoder::InputStart(Aac, 288000), LibavAudioEncoder::InputEnd(Aac, 576000), Voiced);
    }, [&] {
        LibavAudioEncoder Encoder(Aac, 48000, 2, 128000, 288000, 576000);
        EncodeAudio(Encoder, LibavAudioEncoder::InputStart(Aac, 288000), LibavAudioEncoder::InputEnd(Aac, 576000));
    });
    std::printf("%-44s %9.1f ms %9.1f ms   ratio %.2f   (against the segment without a voice)\n", "AAC segment with a spoken name (6 to 12 s)", Spoken * 1000.0,
                Plain * 1000.0, Spoken / Plain);
}

// What the frame code adds to each picture: its text, the QR symbol and the
// painting, beside the plain picture drawn by the same composer (rounds
// alternate, so that the machine's load weighs on both alike); the code
// alone; and what it adds to an encoded H.264 segment.
void FrameCodeCost(int Rounds, Buffers& Frames)
{
    constexpr std::uint32_t Count = 250;
    for(auto [FrameWidth, FrameHeight, RateN] : {std::tuple{Width, Height, 25u}, std::tuple{960u, 540u, 1u}})
    {
        VideoFrameComposer::Parameters Plain{FrameWidth, FrameHeight, RateN, 1};
        Plain.BaseLiveTime = 134'000'000'000'000'000;
        auto Coded = Plain;
        Coded.FrameCode = FrameCodeIdentity{1, 0};
        VideoFrameComposer PlainComposer(Plain);
        VideoFrameComposer CodedComposer(Coded);
        auto Draw = [&](VideoFrameComposer& Composer) {
            for(std::uint32_t Index = 0; Index < Count; ++Index)
                Composer.Compose(Index, Index * 400000LL, Frames.Argb.data(), FrameWidth * 4);
        };
        auto const [CodedTime, PlainTime] = Compare(Rounds, [&] { Draw(CodedComposer); }, [&] { Draw(PlainComposer); });
        double const CodeAlone = Median(Rounds, [&] {
            for(std::uint32_t Index = 0; Index < Count; ++Index)
                FrameCodePainter::Paint(FrameCodePayload::Format(*Coded.FrameCode, Index, Index * 400000LL, Plain.BaseLiveTime), Frames.Argb.data(),
                                        FrameWidth * 4, FrameWidth, FrameHeight);
        });
        std::printf("%ux%u live picture: plain %.0f us, with frame code %.0f us; the code alone (text, symbol, painting) %.0f us\n", FrameWidth,
                    FrameHeight, PlainTime / Count * 1e6, CodedTime / Count * 1e6, CodeAlone / Count * 1e6);
    }
    auto SegmentBytes = [&](std::optional<FrameCodeIdentity> FrameCode) {
        VideoFrameComposer::Parameters Parameters{Width, Height, 25, 1};
        Parameters.FrameCode = FrameCode;
        VideoFrameComposer Composer(Parameters);
        VideoFrameGrid const Grid(25, 1);
        auto Encoder = VideoEncoder::Create(SegmentSettings(VideoEncoderSettings::Codec::H264));
        std::vector<EncodedSample> Output;
        for(std::int64_t Index = 150; Index < 150 + SegmentFrames; ++Index)
        {
            Composer.Compose(Index, Grid.FrameTime(Index), Frames.Argb.data(), Width * 4);
            VideoFrameConverter::Convert(Frames.Argb.data(), Width * 4, Frames.Picture);
            Encoder->Encode(Frames.Picture, Grid.FrameTime(Index), Grid.FrameDuration(Index), Output);
        }
        Encoder->Drain(Output);
        std::size_t Bytes = 0;
        for(auto const& Sample : Output)
            Bytes += Sample.Data.size();
        return Bytes;
    };
    std::printf("H.264 segment at 720p25: %zu bytes plain, %zu bytes with frame code\n", SegmentBytes(std::nullopt), SegmentBytes(FrameCodeIdentity{1, 0}));
}
} // namespace

// One default thumbnail tile as the thumbnail route makes it: 25 pictures
// drawn at 720p, each scaled to 256x144 into a 5x5 grid, the grid encoded
// as JPEG; beside the ffmpeg command line drawing the same 25 pictures,
// scaling and tiling them with its filters and encoding the tile.
void ThumbnailTile(int Rounds)
{
    constexpr std::uint32_t Columns = 5;
    constexpr std::uint32_t Rows = 5;
    auto const Settings = std::make_shared<VideoFrameComposer::Parameters const>(VideoFrameComposer::Parameters{Width, Height, 25, 1});
    std::size_t Bytes = 0;
    std::string const Tile = FfmpegPicture(Columns * Rows) + StringFormat(" -vf scale=256:144:flags=area,tile=%ux%u -c:v mjpeg -q:v 5 -frames:v 1", Columns, Rows);
    auto const [Ours, Peer] = Compare(Rounds, [&] {
        ThumbnailTilePainter Painter(Columns, Rows, 256, 144);
        for(std::uint32_t Position = 0; Position < Columns * Rows; ++Position)
            Painter.Paint(Position, {Settings, Position * 20'000'000LL});
        Bytes = Painter.Encode(75).size();
    }, [&] { RunFfmpeg(Tile); });
    Line("thumbnail tile, 5x5 of 256x144 from 720p", Ours, Peer);
    std::printf("thumbnail tile of %zu bytes, %.1f ms a thumbnail\n", Bytes, Ours * 1000.0 / (Columns * Rows));
}

int main(int ArgumentCount, char** Arguments)
{
    int const Rounds = ArgumentCount > 1 ? std::max(1, std::atoi(Arguments[1])) : 5;
    if(ArgumentCount > 2 && std::string(Arguments[2]) == "thumbs")
    {
        ThumbnailTile(Rounds);
        return 0;
    }
    Buffers Frames;
    VideoFrameComposer Composer({Width, Height, 25, 1});
    constexpr std::uint32_t Count = 250;

    double const Draw = Median(Rounds, [&] {
        for(std::uint32_t Index = 0; Index < Count; ++Index)
            Composer.Compose(Index, Index * 400000LL, Frames.Argb.data(), Width * 4);
    });
    double const Convert = Median(Rounds, [&] {
        for(std::uint32_t Index = 0; Index < Count; ++Index)
            VideoFrameConverter::Convert(Frames.Argb.data(), Width * 4, Frames.Picture);
    });
    std::printf("720p frames per second: drawing %.0f, ARGB32 to NV12 %.0f\n", Count / Draw, Count / Convert);
    FrameCodeCost(std::max(Rounds, 9), Frames);
    std::printf("presets: H.264 %s, HEVC %s, AV1 %d, VP9 cpu-used %d; %d rounds, medians\n\n", H264Encoder::Preset, HevcEncoder::Preset, Av1Encoder::Preset,
                Vp9Encoder::CpuUsed, Rounds);
    std::printf("%-44s %12s %12s\n", "one 3 s segment at 720p25 (75 frames)", "ours", "ffmpeg");

    auto const H264 = SegmentSettings(VideoEncoderSettings::Codec::H264);
    auto const Hevc = SegmentSettings(VideoEncoderSettings::Codec::Hevc);
    auto const Av1 = SegmentSettings(VideoEncoderSettings::Codec::Av1);
    auto const Vp9 = SegmentSettings(VideoEncoderSettings::Codec::Vp9);
    std::string const X264 = " -c:v libx264 -preset veryfast -crf 24 -g 25 -keyint_min 25 -sc_threshold 0 -bf 4";
    std::string const X265 = " -c:v libx265 -preset ultrafast -x265-params log-level=error:keyint=25:min-keyint=25:scenecut=0:crf=24";
    std::string const Svt = StringFormat(" -c:v libsvtav1 -preset %d -crf %u -g 25 -svtav1-params pred-struct=1:scd=0:lookahead=0:enable-tpl-la=0",
                                         Av1Encoder::Preset, VideoEncoderSettings::WideQuantizerFromQuality(70));
    // Ours takes a thread for each processor, as ffmpeg does, with a tile column each.
    std::string const Vpx = StringFormat(" -c:v libvpx-vp9 -deadline realtime -cpu-used %d -lag-in-frames 0 -auto-alt-ref 0 -crf %u -b:v 0 -g 25"
                                         " -keyint_min 25 -row-mt 1 -tile-columns %d -colorspace smpte170m -color_range tv",
                                         Vp9Encoder::CpuUsed, VideoEncoderSettings::WideQuantizerFromQuality(70),
                                         Vp9Encoder::TileColumnsFor(std::thread::hardware_concurrency()));
    std::string const Picture = FfmpegPicture(SegmentFrames);

    auto const [Pictures, PeerPictures] = Compare(Rounds, [&] {
        VideoFrameComposer Fresh({Width, Height, 25, 1});
        for(std::uint32_t Index = 150; Index < 150 + SegmentFrames; ++Index)
        {
            Fresh.Compose(Index, Index * 400000LL, Frames.Argb.data(), Width * 4);
            VideoFrameConverter::Convert(Frames.Argb.data(), Width * 4, Frames.Picture);
        }
    }, [&] { RunFfmpeg(Picture); });
    Line("pictures only (draw, convert)", Pictures, PeerPictures);

    // The encoders alone, on the same pictures: ours fed from memory, the
    // peer reading them from a raw file.
    std::string const Raw = WriteRawSegment(Frames);
    std::string const RawInput = StringFormat("-f rawvideo -pix_fmt nv12 -s %ux%u -r 25 -i %s", Width, Height, Raw.c_str());
    std::vector<std::vector<std::uint8_t>> Segment;
    {
        FILE* File = std::fopen(Raw.c_str(), "rb");
        for(std::uint32_t Index = 0; Index < SegmentFrames; ++Index)
        {
            Segment.emplace_back(Frames.Planar.size());
            if(std::fread(Segment.back().data(), 1, Segment.back().size(), File) != Segment.back().size())
                return 1;
        }
        std::fclose(File);
    }
    auto EncodeOnly = [&](VideoEncoderSettings const& Settings) {
        auto Encoder = VideoEncoder::Create(Settings);
        VideoFrameGrid const Grid(25, 1);
        std::vector<EncodedSample> Output;
        for(std::int64_t Index = 0; Index < SegmentFrames; ++Index)
            Encoder->Encode(VideoPicture::Contiguous(VideoPicture::Layout::Nv12, Width, Height, Segment[static_cast<std::size_t>(Index)].data()),
                            Grid.FrameTime(Index), Grid.FrameDuration(Index), Output);
        Encoder->Drain(Output);
    };
    auto const [H264Alone, PeerH264Alone] = Compare(Rounds, [&] { EncodeOnly(H264); }, [&] { RunFfmpeg(RawInput + X264); });
    Line("H.264 encoder alone, same pictures", H264Alone, PeerH264Alone);
    auto const [HevcAlone, PeerHevcAlone] = Compare(Rounds, [&] { EncodeOnly(Hevc); }, [&] { RunFfmpeg(RawInput + X265); });
    Line("HEVC encoder alone, same pictures", HevcAlone, PeerHevcAlone);
    auto const [Av1Alone, PeerAv1Alone] = Compare(Rounds, [&] { EncodeOnly(Av1); }, [&] { RunFfmpeg(RawInput + Svt); });
    Line("AV1 encoder alone, same pictures", Av1Alone, PeerAv1Alone);
    auto const [Vp9Alone, PeerVp9Alone] = Compare(Rounds, [&] { EncodeOnly(Vp9); }, [&] { RunFfmpeg(RawInput + Vpx); });
    Line("VP9 encoder alone, same pictures", Vp9Alone, PeerVp9Alone);
    std::remove(Raw.c_str());

    auto const [H264Segment, PeerH264Segment] = Compare(Rounds, [&] { EncodeSegment(Frames, H264); }, [&] { RunFfmpeg(Picture + X264); });
    Line("H.264 segment (draw, convert, encode)", H264Segment, PeerH264Segment);
    auto const [HevcSegment, PeerHevcSegment] = Compare(Rounds, [&] { EncodeSegment(Frames, Hevc); }, [&] { RunFfmpeg(Picture + X265); });
    Line("HEVC segment (draw, convert, encode)", HevcSegment, PeerHevcSegment);
    auto const [Av1Segment, PeerAv1Segment] = Compare(Rounds, [&] { EncodeSegment(Frames, Av1); }, [&] { RunFfmpeg(Picture + Svt); });
    Line("AV1 segment (draw, convert, encode)", Av1Segment, PeerAv1Segment);
    auto const [Vp9Segment, PeerVp9Segment] = Compare(Rounds, [&] { EncodeSegment(Frames, Vp9); }, [&] { RunFfmpeg(Picture + Vpx); });
    Line("VP9 segment (draw, convert, encode)", Vp9Segment, PeerVp9Segment);
    // The PQ rows beside the same command lines in 10 bits with the same colours and metadata.
    auto const& Metadata = Mp4::HdrStaticMetadata::Signalled;
    std::string const WidePicture = Picture.substr(0, Picture.rfind("-pix_fmt")) + "-pix_fmt yuv420p10le";
    // Quoted for the shell: the mastering display's text has parentheses.
    std::string const X265Pq = X265 + StringFormat("':colorprim=bt2020:transfer=smpte2084:colormatrix=bt2020nc:master-display=%s:max-cll=%u,%u' -profile:v main10",
                                                   Metadata.MasteringDisplayText().c_str(), Metadata.m_MaximalContentLightLevel,
                                                   Metadata.m_MaximalFrameAverageLightLevel);
    std::string const SvtPq = Svt + StringFormat("':color-primaries=9:transfer-characteristics=16:matrix-coefficients=9:mastering-display=%s:content-light=%u,%u'",
                                                 Metadata.MasteringDisplayDecimalText().c_str(), Metadata.m_MaximalContentLightLevel,
                                                 Metadata.m_MaximalFrameAverageLightLevel);
    auto const [HevcPqSegment, PeerHevcPqSegment] = Compare(Rounds, [&] { EncodeWideSegment(Hevc); }, [&] { RunFfmpeg(WidePicture + X265Pq); });
    Line("HEVC Main10 PQ segment (draw, convert, encode)", HevcPqSegment, PeerHevcPqSegment);
    auto const [Av1PqSegment, PeerAv1PqSegment] = Compare(Rounds, [&] { EncodeWideSegment(Av1); }, [&] { RunFfmpeg(WidePicture + SvtPq); });
    Line("AV1 10-bit PQ segment (draw, convert, encode)", Av1PqSegment, PeerAv1PqSegment);
    ThumbnailTile(Rounds);
    AudioSegments(Rounds);
    SpokenNameFigures(Rounds);
    Line("FLAC segment (6.4 s)", Median(Rounds, [&] {
        FlacEncoder Encoder(48000, 2);
        EncodeAudio(Encoder, 307200, 614400);
    }), 0.0);
    std::vector<double> FirstOutputs;
    for(int Round = 0; Round < Rounds; ++Round)
    {
        double FirstOutput = -1.0;
        EncodeSegment(Frames, H264, &FirstOutput);
        FirstOutputs.push_back(FirstOutput);
    }
    std::sort(FirstOutputs.begin(), FirstOutputs.end());
    Line("first H.264 sample out (from the run's start)", FirstOutputs[FirstOutputs.size() / 2], 0.0);
    std::printf("\nH.264 segment %.1f times real time, HEVC segment %.1f times real time, AV1 segment %.1f times real time, VP9 segment %.1f times"
                " real time\n",
                3.0 / H264Segment, 3.0 / HevcSegment, 3.0 / Av1Segment, 3.0 / Vp9Segment);
    return 0;
}
