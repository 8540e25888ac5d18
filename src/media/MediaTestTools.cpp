// SPDX-License-Identifier: GPL-2.0-or-later
#include "media/MediaTestTools.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <sys/wait.h>
#include <unistd.h>

#include "media/CollectingMediaSink.h"
#include "media/VideoFrameComposer.h"
#include "media/VideoFrameConverter.h"
#include "media/VideoFrameGrid.h"
#include "media/MediaSessionHelper.h"
#include "mf/AttributeKeys.h"
#include "mf/Guids.h"
#include "mf/MediaStatus.h"
#include "mf/Topology.h"

using namespace Application;

namespace MediaTestTools
{
namespace
{
struct Scratch
{
    std::filesystem::path Path;

    Scratch()
    {
        Path = std::filesystem::temp_directory_path() / ("quorvel-media-test-" + std::to_string(getpid()));
        std::filesystem::create_directories(Path);
    }
    ~Scratch()
    {
        std::error_code Ignored;
        std::filesystem::remove_all(Path, Ignored);
    }
};
} // namespace

std::filesystem::path ScratchDirectory()
{
    static Scratch Directory;
    return Directory.Path;
}

void WriteFile(std::filesystem::path const& Path, std::vector<std::uint8_t> const& Data)
{
    std::ofstream Stream(Path, std::ios::binary);
    Stream.write(reinterpret_cast<char const*>(Data.data()), static_cast<std::streamsize>(Data.size()));
}

CommandResult RunCommand(std::string const& Command)
{
    static int Counter = 0;
    std::filesystem::path const ErrorPath = ScratchDirectory() / ("stderr-" + std::to_string(++Counter));
    CommandResult Result;
    FILE* Pipe = popen((Command + " 2>" + ErrorPath.string()).c_str(), "r");
    if(!Pipe)
        return Result;
    std::uint8_t Buffer[65536];
    for(std::size_t Size; (Size = fread(Buffer, 1, sizeof Buffer, Pipe)) > 0;)
        Result.Output.insert(Result.Output.end(), Buffer, Buffer + Size);
    int const Status = pclose(Pipe);
    Result.ExitCode = WIFEXITED(Status) ? WEXITSTATUS(Status) : -1;
    std::ifstream Errors(ErrorPath);
    Result.Errors.assign(std::istreambuf_iterator<char>(Errors), std::istreambuf_iterator<char>());
    return Result;
}

void ConnectChain(MF::Topology& Topology, std::shared_ptr<MF::IMediaSource> const& Source, std::shared_ptr<MF::PresentationDescriptor> const& Descriptor,
                  std::vector<std::shared_ptr<MF::ITransform>> const& Transforms, std::shared_ptr<MF::Object> const& Output)
{
    auto Node = MF::TopologyNode::Create(MF::MF_TOPOLOGY_SOURCESTREAM_NODE);
    Node->SetObject(MF::MF_TOPONODE_SOURCE, Source);
    Node->SetObject(MF::MF_TOPONODE_PRESENTATION_DESCRIPTOR, Descriptor);
    Node->SetObject(MF::MF_TOPONODE_STREAM_DESCRIPTOR, Descriptor->GetStreamDescriptorByIndex(0));
    Topology.AddNode(Node);
    for(auto const& Transform : Transforms)
    {
        auto TransformNode = MF::TopologyNode::Create(MF::MF_TOPOLOGY_TRANSFORM_NODE);
        TransformNode->SetObject(Transform);
        Topology.AddNode(TransformNode);
        Node->ConnectOutput(0, TransformNode, 0);
        Node = TransformNode;
    }
    auto const OutputNode = MF::TopologyNode::Create(MF::MF_TOPOLOGY_OUTPUT_NODE);
    OutputNode->SetObject(Output);
    Topology.AddNode(OutputNode);
    Node->ConnectOutput(0, OutputNode, 0);
}

PipelineResult RunPipeline(std::shared_ptr<MF::IMediaSource> const& Source, std::vector<std::shared_ptr<MF::ITransform>> const& Transforms,
                           std::int64_t Position, std::optional<std::int64_t> Duration)
{
    auto const Helper = Application::MediaSessionHelper::Create();
    Helper->SetStallTimeout(std::chrono::seconds(30));
    auto const Descriptor = Source->CreatePresentationDescriptor();
    if(Duration)
        Descriptor->SetUINT64(MF::MF_PD_DURATION, static_cast<std::uint64_t>(*Duration));
    auto const Sink = CollectingMediaSink::Create(Descriptor->GetStreamDescriptorByIndex(0)->GetMediaTypeHandler()->GetMajorType());
    ConnectChain(*Helper->GetTopology(), Source, Descriptor, Transforms, Sink->GetStream());
    Helper->SetStartPosition(Position);
    PipelineResult Result;
    bool const Closed = Helper->Run();
    Result.Status = Helper->GetError().value_or(Closed ? S_OK : E_ABORT);
    Result.Samples = Sink->GetSamples();
    return Result;
}

std::vector<std::uint8_t> Payload(MF::Sample& Sample)
{
    auto const Span = Sample.ConvertToContiguousBuffer()->GetSpan();
    return {Span.begin(), Span.end()};
}

std::shared_ptr<MF::MediaType> VideoType(std::uint32_t Width, std::uint32_t Height, std::uint32_t RateN, std::uint32_t RateD)
{
    auto Type = std::make_shared<MF::MediaType>();
    Type->SetGUID(MF::MF_MT_MAJOR_TYPE, MF::MFMediaType_Video);
    Type->SetGUID(MF::MF_MT_SUBTYPE, MF::MFVideoFormat_ARGB32);
    Type->SetSize(MF::MF_MT_FRAME_SIZE, Width, Height);
    Type->SetRatio(MF::MF_MT_FRAME_RATE, RateN, RateD);
    return Type;
}

std::shared_ptr<MF::MediaType> AudioType(MF::Guid const& Subtype, std::uint32_t BitsPerSample)
{
    constexpr std::uint32_t Rate = 48000;
    constexpr std::uint32_t Channels = 2;
    auto Type = std::make_shared<MF::MediaType>();
    Type->SetGUID(MF::MF_MT_MAJOR_TYPE, MF::MFMediaType_Audio);
    Type->SetGUID(MF::MF_MT_SUBTYPE, Subtype);
    Type->SetUINT32(MF::MF_MT_AUDIO_NUM_CHANNELS, Channels);
    Type->SetUINT32(MF::MF_MT_AUDIO_SAMPLES_PER_SECOND, Rate);
    Type->SetUINT32(MF::MF_MT_AUDIO_BLOCK_ALIGNMENT, Channels * BitsPerSample / 8);
    Type->SetUINT32(MF::MF_MT_AUDIO_AVG_BYTES_PER_SECOND, Rate * Channels * BitsPerSample / 8);
    Type->SetUINT32(MF::MF_MT_AUDIO_BITS_PER_SAMPLE, BitsPerSample);
    Type->SetUINT32(MF::MF_MT_ALL_SAMPLES_INDEPENDENT, 1);
    return Type;
}

std::vector<std::uint8_t> Adts(std::vector<std::uint8_t> const& Unit)
{
    // Profile LC, sampling frequency index 3, channel configuration 2, no CRC.
    std::size_t const Length = Unit.size() + 7;
    std::uint8_t const Header[7] = {0xFF, 0xF1, static_cast<std::uint8_t>((1 << 6) | (3 << 2)), static_cast<std::uint8_t>((2 << 6) | (Length >> 11)),
                                    static_cast<std::uint8_t>(Length >> 3), static_cast<std::uint8_t>(((Length & 7) << 5) | 0x1F), 0xFC};
    std::vector<std::uint8_t> Frame(Length);
    std::memcpy(Frame.data(), Header, sizeof Header);
    std::memcpy(Frame.data() + sizeof Header, Unit.data(), Unit.size());
    return Frame;
}

std::vector<std::int16_t> DecodeAudio(std::filesystem::path const& Path, std::string const& Options)
{
    auto const Result = RunCommand("ffmpeg -v error " + Options + " -i " + Path.string() + " -f s16le -");
    EXPECT_EQ(Result.ExitCode, 0) << Result.Errors;
    EXPECT_EQ(Result.Errors, "");
    std::vector<std::int16_t> Samples(Result.Output.size() / 2);
    std::memcpy(Samples.data(), Result.Output.data(), Samples.size() * 2);
    return Samples;
}

std::string Text(std::vector<std::uint8_t> const& Data)
{
    return std::string(Data.begin(), Data.end());
}

EncodedRun EncodeFrames(VideoEncoderSettings const& Settings, std::int64_t First, std::int64_t Count)
{
    VideoFrameComposer Composer({Settings.Width, Settings.Height, Settings.RateN, Settings.RateD});
    VideoFrameGrid const Grid(Settings.RateN, Settings.RateD);
    auto Encoder = VideoEncoder::Create(Settings);
    EncodedRun Result;
    Result.SequenceHeader = Encoder->SequenceHeader();
    Result.ReorderDelay = Encoder->ReorderDelay();
    std::vector<std::uint8_t> Argb(Settings.Width * Settings.Height * 4);
    std::vector<std::uint8_t> Planar(VideoPicture::ContiguousSize(Settings.Width, Settings.Height));
    for(std::int64_t Index = First; Index < First + Count; ++Index)
    {
        std::int64_t const Time = Grid.FrameTime(Index);
        Composer.Compose(Index, Time, Argb.data(), Settings.Width * 4);
        VideoPicture const Picture = VideoPicture::Contiguous(Settings.InputFormat, Settings.Width, Settings.Height, Planar.data());
        VideoFrameConverter::Convert(Argb.data(), static_cast<std::int32_t>(Settings.Width * 4), Picture);
        Result.Times.push_back(Time);
        Encoder->Encode(Picture, Time, Grid.FrameDuration(Index), Result.Samples);
        Result.SamplesAfter.push_back(Result.Samples.size());
    }
    Encoder->Drain(Result.Samples);
    return Result;
}

std::vector<int> NalUnitTypes(std::vector<std::uint8_t> const& Data, bool Hevc)
{
    std::vector<int> Types;
    for(std::size_t Index = 0; Index + 3 < Data.size(); ++Index)
        if(Data[Index] == 0 && Data[Index + 1] == 0 && Data[Index + 2] == 1)
        {
            std::uint8_t const Header = Data[Index + 3];
            Types.push_back(Hevc ? (Header >> 1) & 0x3F : Header & 0x1F);
            Index += 3;
        }
    return Types;
}
} // namespace MediaTestTools
