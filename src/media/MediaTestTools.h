// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/Status.h"
#include "media/VideoEncoder.h"
#include "mf/IMediaSource.h"
#include "mf/ITransform.h"
#include "mf/Sample.h"
#include "mf/Topology.h"

// What the media tests share: files in a scratch directory and the ffmpeg
// tools as the independent judges of what the encoders make.
namespace MediaTestTools
{
// A directory of this test process, removed at exit.
std::filesystem::path ScratchDirectory();
void WriteFile(std::filesystem::path const& Path, std::vector<std::uint8_t> const& Data);

struct CommandResult
{
    int ExitCode = -1;
    std::vector<std::uint8_t> Output;
    std::string Errors;
};
// Runs a shell command and collects its standard output and error.
CommandResult RunCommand(std::string const& Command);
std::string Text(std::vector<std::uint8_t> const& Data);

// Connects Source (its first stream, as Descriptor presents it) → Transforms
// → Output (a stream sink) in Topology.
void ConnectChain(MF::Topology& Topology, std::shared_ptr<MF::IMediaSource> const& Source, std::shared_ptr<MF::PresentationDescriptor> const& Descriptor,
                  std::vector<std::shared_ptr<MF::ITransform>> const& Transforms, std::shared_ptr<MF::Object> const& Output);

struct PipelineResult
{
    // The status of the pipeline's failure, S_OK when it ended.
    HRESULT Status = S_OK;
    std::vector<std::shared_ptr<MF::Sample>> Samples;
};
// Runs Source → Transforms → a collecting sink with the session runner from
// Position with the presentation duration Duration (none: the source's own).
// A stall ends the run with E_ABORT.
PipelineResult RunPipeline(std::shared_ptr<MF::IMediaSource> const& Source, std::vector<std::shared_ptr<MF::ITransform>> const& Transforms,
                           std::int64_t Position, std::optional<std::int64_t> Duration);
// The payload of a sample.
std::vector<std::uint8_t> Payload(MF::Sample& Sample);

// Uncompressed types as the segment runs make them: ARGB32 video,
// progressive; 48000 Hz stereo audio.
std::shared_ptr<MF::MediaType> VideoType(std::uint32_t Width, std::uint32_t Height, std::uint32_t RateN, std::uint32_t RateD);
std::shared_ptr<MF::MediaType> AudioType(MF::Guid const& Subtype, std::uint32_t BitsPerSample);

// An AAC-LC access unit at 48000 Hz, two channels, behind an ADTS header.
std::vector<std::uint8_t> Adts(std::vector<std::uint8_t> const& Unit);
// Decodes an audio file with ffmpeg to interleaved 16-bit samples,
// expecting neither an error nor a warning.
std::vector<std::int16_t> DecodeAudio(std::filesystem::path const& Path, std::string const& Options);

// A run of one video encoder over the composed pictures First to
// First + Count - 1, as a segment run makes them: what came out, the
// pictures' times, how many samples had come out after each picture, and
// what the encoder says of its stream.
struct EncodedRun
{
    std::vector<Application::EncodedSample> Samples;
    std::vector<std::int64_t> Times;
    std::vector<std::size_t> SamplesAfter;
    std::vector<std::uint8_t> SequenceHeader;
    std::uint32_t ReorderDelay = 0;
};
EncodedRun EncodeFrames(Application::VideoEncoderSettings const& Settings, std::int64_t First, std::int64_t Count);

// The NAL unit types of an Annex B stream, in order (HEVC when Hevc is set).
std::vector<int> NalUnitTypes(std::vector<std::uint8_t> const& Data, bool Hevc);
} // namespace MediaTestTools
