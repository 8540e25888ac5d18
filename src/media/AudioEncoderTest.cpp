// SPDX-License-Identifier: GPL-2.0-or-later
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <sstream>

#include "media/FlacEncoder.h"
#include "media/FlacFrameHeader.h"
#include "media/LibavAudioEncoder.h"
#include "media/MediaTestTools.h"
#include "media/OpusAudioEncoder.h"
#include "media/ToneBurstSignal.h"

#include <opus/opus.h>

using namespace Application;

using namespace MediaTestTools;

namespace
{
constexpr std::uint32_t Rate = 48000;
constexpr std::uint32_t Channels = 2;
// The source's 10 ms buffers.
constexpr std::uint32_t BufferLength = 480;

std::vector<std::int16_t> Signal(std::int64_t First, std::uint32_t Count)
{
    std::vector<std::int16_t> Samples(static_cast<std::size_t>(Count) * Channels);
    ToneBurstSignal(Rate).Write(First, Count, Channels, ToneBurstSignal::SampleFormat::Pcm16,
                                {reinterpret_cast<std::uint8_t*>(Samples.data()), Samples.size() * 2});
    return Samples;
}

// Feeds [First, End) in 10 ms buffers as the source would, then drains.
template <typename EncoderT>
std::vector<EncodedSample> Feed(EncoderT& Encoder, std::int64_t First, std::int64_t End)
{
    std::vector<EncodedSample> Output;
    for(std::int64_t Index = First; Index < End; Index += BufferLength)
    {
        auto const Count = static_cast<std::uint32_t>(std::min<std::int64_t>(BufferLength, End - Index));
        auto const Samples = Signal(Index, Count);
        Encoder.Encode(Samples.data(), Count, Index, Output);
    }
    Encoder.Drain(Output);
    return Output;
}

// A segment run of one of libavcodec's encoders over [Start, End).
std::vector<EncodedSample> LibavSegment(LibavAudioCodec const& Codec, std::uint32_t Bitrate, std::int64_t Start, std::int64_t End)
{
    LibavAudioEncoder Encoder(Codec, Rate, Channels, Bitrate, Start, End);
    return Feed(Encoder, LibavAudioEncoder::InputStart(Codec, Start), LibavAudioEncoder::InputEnd(Codec, End));
}

std::vector<EncodedSample> AacSegment(std::int64_t Start, std::int64_t End)
{
    // AAC-LC (object type 2), 48000 Hz (index 3), two channels; the encoder
    // may add the explicit signalling that there is no SBR.
    LibavAudioEncoder const Encoder(LibavAudioCodec::Aac(), Rate, Channels, 128000, Start, End);
    auto const& Config = Encoder.Extradata();
    EXPECT_GE(Config.size(), 2u);
    EXPECT_EQ(std::vector<std::uint8_t>(Config.begin(), Config.begin() + 2), (std::vector<std::uint8_t>{0x11, 0x90}));
    return LibavSegment(LibavAudioCodec::Aac(), 128000, Start, End);
}

std::vector<EncodedSample> Joined(std::vector<EncodedSample> First, std::vector<EncodedSample> const& Second)
{
    First.insert(First.end(), Second.begin(), Second.end());
    return First;
}

// Signal to error ratio in dB of Decoded against the signal over [First, End).
double SignalToError(std::vector<std::int16_t> const& Decoded, std::int64_t First, std::int64_t End)
{
    auto const Expected = Signal(First, static_cast<std::uint32_t>(End - First));
    double Power = 0.0;
    double Error = 0.0;
    for(std::size_t Index = 0; Index < Expected.size(); ++Index)
    {
        double const Value = Expected[Index];
        double const Difference = Decoded[static_cast<std::size_t>(First) * Channels + Index] - Value;
        Power += Value * Value;
        Error += Difference * Difference;
    }
    return 10.0 * std::log10(Power / std::max(Error, 1.0));
}

void ExpectTiling(std::vector<EncodedSample> const& Frames, std::int64_t First, std::uint32_t Length)
{
    std::int64_t Next = First;
    for(auto const& Frame : Frames)
    {
        ASSERT_EQ(Frame.FirstSample, Next);
        ASSERT_EQ(Frame.Time, Next * 10000000 / Rate);
        ASSERT_EQ(Frame.Time + Frame.Duration, (Next + Frame.SampleCount) * 10000000 / Rate);
        ASSERT_TRUE(Frame.KeyFrame);
        Next += Length;
    }
}
} // namespace

TEST(AacEncoder, SegmentsPutTheirFramesOnOneGridAndPlayBackToBackWithoutGaps)
{
    // Two 6 s segments, each a run of its own, joined as a player joins them.
    auto const First = AacSegment(0, 288000);
    auto const Second = AacSegment(288000, 576000);
    // 6 s is 281.25 frames: frames start inside their segment and run over
    // its end, the next segment goes on with the next frame.
    ASSERT_EQ(First.size(), 282u);
    ASSERT_EQ(Second.size(), 281u);
    EXPECT_EQ(Second.front().FirstSample, 282 * 1024);
    auto const All = Joined(First, Second);
    ExpectTiling(All, 0, 1024);

    std::vector<std::uint8_t> Stream;
    for(auto const& Frame : All)
    {
        auto const Unit = Adts(Frame.Data);
        Stream.insert(Stream.end(), Unit.begin(), Unit.end());
    }
    auto const Path = ScratchDirectory() / "segments.aac";
    WriteFile(Path, Stream);
    auto const Decoded = DecodeAudio(Path, "");
    ASSERT_EQ(Decoded.size(), All.size() * 1024 * Channels);
    // Every burst comes out where the signal has it, the one across the
    // joint at 6 s (frame 282 starts at 6.016 s) as well as the others: no
    // priming silence, no shift.
    // The very first frame has no predecessor to overlap with, as at the
    // start of any AAC stream; it is left out of the comparison.
    for(std::int64_t Second = 0; Second < 12; ++Second)
    {
        double const Ratio = SignalToError(Decoded, std::max<std::int64_t>(Second * Rate, 1024), Second * Rate + Rate / 10);
        EXPECT_GT(Ratio, 20.0) << Second;
    }
    // Right around the joint the two runs' frames overlap as well as the
    // frames of one run do (without two frames of pre-roll and post-roll
    // each, this falls below 18 dB).
    EXPECT_GT(SignalToError(Decoded, 282 * 1024 - 1024, 282 * 1024 + 2048), 20.0);
    // Between bursts the decoder hears nothing.
    EXPECT_GT(SignalToError(Decoded, 6 * Rate - Rate / 2, 6 * Rate + Rate / 10), 20.0);
}

TEST(LibavAudioEncoder, Ac3AndEc3SegmentsPlayBackToBackWithoutGapsOrPriming)
{
    for(auto const* Codec : {&LibavAudioCodec::Ac3(), &LibavAudioCodec::Ec3()})
    {
        SCOPED_TRACE(Codec->EncoderName);
        std::uint32_t const Bitrate = Codec == &LibavAudioCodec::Ac3() ? 192000 : 128000;
        // 6 s is 187.5 frames of 1536: the first segment's last frame runs
        // over its end, the second goes on with the next one.
        auto const First = LibavSegment(*Codec, Bitrate, 0, 288000);
        auto const Second = LibavSegment(*Codec, Bitrate, 288000, 576000);
        ASSERT_EQ(First.size(), 188u);
        ASSERT_EQ(Second.size(), 187u);
        auto const All = Joined(First, Second);
        ExpectTiling(All, 0, 1536);
        // Sync frames need no container: one after the other they are the stream.
        std::vector<std::uint8_t> Stream;
        for(auto const& Frame : All)
            Stream.insert(Stream.end(), Frame.Data.begin(), Frame.Data.end());
        auto const Path = ScratchDirectory() / (std::string(Codec->EncoderName) + "-segments." + std::string(Codec->EncoderName));
        WriteFile(Path, Stream);
        auto const Decoded = DecodeAudio(Path, "");
        ASSERT_EQ(Decoded.size(), All.size() * 1536 * Channels);
        // The bursts where the signal has them, the first one from its first
        // sample (the run heard silence before 0, not priming), and across
        // the joint at frame 188 (6.016 s).
        for(std::int64_t Second = 0; Second < 12; ++Second)
            EXPECT_GT(SignalToError(Decoded, Second * Rate, Second * Rate + Rate / 10), 20.0) << Second;
        EXPECT_GT(SignalToError(Decoded, 188 * 1536 - 1536, 188 * 1536 + 3072), 20.0);
    }
}

TEST(OpusAudioEncoder, SegmentsPlayBackToBackOnceThePreSkipIsTakenOff)
{
    OpusAudioEncoder Encoder(Channels, 128000, 0, 288000);
    auto const PreSkip = Encoder.PreSkip();
    EXPECT_EQ(Encoder.IdentificationHeader(),
              (std::vector<std::uint8_t>{'O', 'p', 'u', 's', 'H', 'e', 'a', 'd', 1, 2, static_cast<std::uint8_t>(PreSkip), static_cast<std::uint8_t>(PreSkip >> 8),
                                         0x80, 0xBB, 0, 0, 0, 0, 0}));
    auto const First = Feed(Encoder, OpusAudioEncoder::InputStart(0), OpusAudioEncoder::InputEnd(288000));
    OpusAudioEncoder SecondEncoder(Channels, 128000, 288000, 576000);
    auto const Second = Feed(SecondEncoder, OpusAudioEncoder::InputStart(288000), OpusAudioEncoder::InputEnd(576000));
    // 6 s is 300 frames of 20 ms exactly.
    ASSERT_EQ(First.size(), 300u);
    ASSERT_EQ(Second.size(), 300u);
    auto const All = Joined(First, Second);
    ExpectTiling(All, 0, 960);

    // One decoder for both, as a player has.
    int Error = OPUS_OK;
    std::unique_ptr<OpusDecoder, void (*)(OpusDecoder*)> Decoder(opus_decoder_create(Rate, Channels, &Error), opus_decoder_destroy);
    ASSERT_EQ(Error, OPUS_OK);
    std::vector<std::int16_t> Decoded;
    std::vector<std::int16_t> Frame(960 * Channels);
    for(auto const& Packet : All)
    {
        ASSERT_EQ(opus_decode(Decoder.get(), Packet.Data.data(), static_cast<opus_int32>(Packet.Data.size()), Frame.data(), 960, 0), 960);
        Decoded.insert(Decoded.end(), Frame.begin(), Frame.end());
    }
    // Output sample PreSkip + n is input sample n, every burst and the joint at 6 s.
    Decoded.erase(Decoded.begin(), Decoded.begin() + static_cast<std::ptrdiff_t>(PreSkip) * Channels);
    for(std::int64_t Second = 0; Second < 11; ++Second)
        EXPECT_GT(SignalToError(Decoded, Second * Rate, Second * Rate + Rate / 10), 20.0) << Second;
    EXPECT_GT(SignalToError(Decoded, 288000 - 1920, 288000 + 1920), 20.0);
}

TEST(FlacEncoder, SegmentsDecodeLosslesslyAsOneStreamWithFramesNumberedOnTheGrid)
{
    FlacEncoder FirstEncoder(Rate, Channels);
    FlacEncoder SecondEncoder(Rate, Channels);
    // Every run makes the same stream header: the initialisation segment of
    // a header run serves the segments of every body run.
    ASSERT_EQ(FirstEncoder.StreamHeader(), SecondEncoder.StreamHeader());
    auto const Header = FirstEncoder.StreamHeader();
    ASSERT_GE(Header.size(), 42u);
    EXPECT_EQ(std::string(Header.begin(), Header.begin() + 4), "fLaC");
    // STREAMINFO first, not the last block, 34 bytes long.
    EXPECT_EQ(Header[4], 0x00);
    EXPECT_EQ(Header[7], 34);

    // 6.4 s segments hold 75 blocks exactly.
    auto const First = Feed(FirstEncoder, 0, 307200);
    auto const Second = Feed(SecondEncoder, 307200, 614400);
    ASSERT_EQ(First.size(), 75u);
    ASSERT_EQ(Second.size(), 75u);
    auto const All = Joined(First, Second);
    ExpectTiling(All, 0, 4096);
    std::vector<std::uint8_t> Stream = Header;
    for(std::size_t Index = 0; Index < All.size(); ++Index)
    {
        EXPECT_EQ(FlacFrameHeader::FrameNumber(All[Index].Data), Index);
        Stream.insert(Stream.end(), All[Index].Data.begin(), All[Index].Data.end());
    }
    auto const Path = ScratchDirectory() / "segments.flac";
    WriteFile(Path, Stream);

    // The parser of the FLAC reader takes the time stamps from the numbers.
    auto const Packets = RunCommand("ffprobe -v error -show_entries packet=pts -of csv=p=0 " + Path.string());
    ASSERT_EQ(Packets.ExitCode, 0) << Packets.Errors;
    std::istringstream Lines(Text(Packets.Output));
    std::int64_t Expected = 0;
    for(std::string Line; std::getline(Lines, Line); Expected += 4096)
        ASSERT_EQ(std::stoll(Line), Expected);
    EXPECT_EQ(Expected, 614400);

    auto const Decoded = DecodeAudio(Path, "-err_detect crccheck+explode");
    EXPECT_EQ(Decoded, Signal(0, 614400));
}

TEST(FlacEncoder, RunsEndWithAShortBlock)
{
    FlacEncoder Encoder(Rate, Channels);
    auto const Frames = Feed(Encoder, 307200, 307200 + 5000);
    ASSERT_EQ(Frames.size(), 2u);
    EXPECT_EQ(Frames[0].SampleCount, 4096u);
    EXPECT_EQ(Frames[1].SampleCount, 904u);
    EXPECT_EQ(FlacFrameHeader::FrameNumber(Frames[1].Data), 76u);
}

TEST(FlacFrameHeader, RenumberedFramesKeepValidChecksumsWhateverTheLengthOfTheNumber)
{
    FlacEncoder Encoder(Rate, Channels);
    auto const Frames = Feed(Encoder, 0, 4096);
    ASSERT_EQ(Frames.size(), 1u);
    for(std::uint64_t Number : {0x7Fu, 0x80u, 0x7FFu, 0x800u, 0xFFFFu, 0x10000u, 0x1FFFFFu, 0x200000u, 0x3FFFFFFu, 0x4000000u, 0x7FFFFFFFu, 5u})
    {
        auto Frame = Frames[0].Data;
        FlacFrameHeader::Renumber(Frame, Number);
        EXPECT_EQ(FlacFrameHeader::FrameNumber(Frame), Number);
        std::vector<std::uint8_t> Stream = Encoder.StreamHeader();
        Stream.insert(Stream.end(), Frame.begin(), Frame.end());
        auto const Path = ScratchDirectory() / ("renumbered-" + std::to_string(Number) + ".flac");
        WriteFile(Path, Stream);
        EXPECT_EQ(DecodeAudio(Path, "-err_detect crccheck+explode"), Signal(0, 4096)) << Number;
    }
    auto Frame = Frames[0].Data;
    EXPECT_ANY_THROW(FlacFrameHeader::Renumber(Frame, 0x80000000u));
    Frame[1] = 0xF9; // variable block size: numbered by samples, not frames
    EXPECT_ANY_THROW(FlacFrameHeader::Renumber(Frame, 1));
}
