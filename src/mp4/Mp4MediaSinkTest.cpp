// SPDX-License-Identifier: GPL-2.0-or-later
#include "mp4/Mp4MediaSink.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "mf/Guids.h"
#include "mf/MediaStatus.h"
#include "mf/MfTestTools.h"
#include "mp4/Mp4SinkTestTools.h"
#include "mp4/Mp4TestBytes.h"

using namespace Mp4::Test;
using Mp4::Test::Hex;
using Mp4::Test::ReadU32;
using MF::Testing::Raised;
using Mp4::Mp4MediaSink;

namespace
{
EncodedFrame Frame(std::string_view Hex, std::int64_t Time, bool Key)
{
    EncodedFrame Value;
    Value.m_Data = Mp4::Test::Hex(Hex);
    Value.m_Time = Time;
    Value.m_Duration = 400'000;
    Value.m_KeyFrame = Key;
    return Value;
}

// The SPS ends after its bit depths: all the avcC record reads of it.
auto const IdrWithParameterSets = "00000001 6764001fae 00000001 68ebe3cb 00000001 65888400";
} // namespace

TEST(Mp4MediaSink, TakesOneStreamOfTheCodecsItPackages)
{
    auto const Sink = Mp4MediaSink::Create(std::make_shared<RecordingByteStream>());
    EXPECT_EQ(Raised([&] { Sink->AddStreamSink(1, MakeAudioType(MF::MFAudioFormat_MP3, {})); }), MF_E_INVALIDMEDIATYPE);
    Sink->AddStreamSink(1, MakeVideoType(MF::MFVideoFormat_H264, {}));
    EXPECT_EQ(Raised([&] { Sink->AddStreamSink(1, MakeVideoType(MF::MFVideoFormat_HEVC, {})); }), MF_E_STREAMSINK_EXISTS);
    Sink->AddStreamSink(2, MakeAudioType(MF::MFAudioFormat_FLAC, {}));
    // One stream exactly, or the clock does not start.
    auto const Clock = MF::PresentationClock::Create();
    Sink->SetPresentationClock(Clock);
    EXPECT_NE(Raised([&] { Clock->Start(0); }), S_OK);
    Sink->RemoveStreamSink(2);
    Clock->Start(0);
    Sink->Shutdown();
}

TEST(Mp4MediaSink, WritesHeaderFirstThenOneFragmentPerSample)
{
    SinkRun Run;
    Run.m_Sink->SetFirstSequenceNumber(76);
    Run.Start(MakeVideoType(MF::MFVideoFormat_H264, {320, 240, 25, 1}), 30'000'000);
    // The first sample has no clean-point attribute: it counts as a sync sample.
    auto First = MakeSample(Frame(IdrWithParameterSets, 30'000'000, true));
    First->DeleteItem(MF::MFSampleExtension_CleanPoint);
    Run.m_StreamSink->ProcessSample(First);
    Run.m_StreamSink->ProcessSample(MakeSample(Frame("00000001 419a2233", 30'400'000, false)));
    EXPECT_EQ(Run.m_Sink->GetCodecsString(), "avc1.64001f");

    // The header, then each fragment (a moof and its mdat) as one write.
    auto const& Writes = Run.m_ByteStream->m_WriteVector;
    ASSERT_EQ(Writes.size(), 3u);
    EXPECT_EQ(ReadU32(Writes[0], 4), Mp4::MakeFourCc("ftyp"));
    EXPECT_EQ(ReadU32(Writes[0], 36 + 4), Mp4::MakeFourCc("moov"));
    // moof: sequence 76 then 77; tfdt 75 and 76 at 25 fps; sync flags.
    EXPECT_EQ(ReadU32(Writes[1], 0), 104u);
    EXPECT_EQ(ReadU32(Writes[1], 20), 76u);
    EXPECT_EQ(ReadU32(Writes[1], 64), 75u);
    EXPECT_EQ(ReadU32(Writes[1], 96), 0x02000000u);
    EXPECT_EQ(std::vector<std::uint8_t>(Writes[1].begin() + 104, Writes[1].end()),
              Hex("00000021 6d646174 00000005 6764001fae 00000004 68ebe3cb 00000004 65888400"));
    EXPECT_EQ(ReadU32(Writes[2], 20), 77u);
    EXPECT_EQ(ReadU32(Writes[2], 64), 76u);
    EXPECT_EQ(ReadU32(Writes[2], 96), 0x01010000u);
    Run.m_Sink->Shutdown();
}

TEST(Mp4MediaSink, FirstSampleWithoutParameterSetsFailsTheHeader)
{
    SinkRun Run;
    Run.Start(MakeVideoType(MF::MFVideoFormat_H264, {}));
    EXPECT_NE(Raised([&] { Run.m_StreamSink->ProcessSample(MakeSample(Frame("00000001 65888400", 0, true))); }), S_OK);
    EXPECT_TRUE(Run.m_ByteStream->m_WriteVector.empty());
    Run.m_Sink->Shutdown();
}

TEST(Mp4MediaSink, FlacHeaderPayloadsMakeTheSampleEntry)
{
    SinkRun Run;
    Run.Start(MakeAudioType(MF::MFAudioFormat_FLAC, {}), 50'000'000);
    // The stream header ("fLaC" and STREAMINFO) comes as payloads without
    // audio samples, here in two pieces.
    for(auto const* Piece : {"664c6143 8000", "0022 1000 1000 00000e 0025a1 0bb802f000000000 d41d8cd98f00b204e9800998ecf8427e"})
    {
        auto Sample = MakeSample(Frame(Piece, 0, true));
        Sample->SetUINT32(MF::MFSampleExtension_FlacSampleCount, 0);
        Run.m_StreamSink->ProcessSample(Sample);
    }
    EXPECT_TRUE(Run.m_ByteStream->m_WriteVector.empty());
    // The position decides, not the time the sample carries.
    auto Second = Frame("fff8 6918 00", 0, true);
    Second.m_Position = Second.m_SampleCount = 4096;
    Run.m_StreamSink->ProcessSample(MakeSample(Second));
    auto const& Writes = Run.m_ByteStream->m_WriteVector;
    ASSERT_EQ(Writes.size(), 2u);
    // tfdt = 5 s + 4096 samples at 48 kHz; duration 4096.
    EXPECT_EQ(ReadU32(Writes[1], 64), 240000u + 4096);
    EXPECT_EQ(ReadU32(Writes[1], 48), 4096u);
    Run.m_Sink->Shutdown();
}

TEST(Mp4MediaSink, Av1SamplesKeepTheirObusLessTemporalDelimiters)
{
    // Temporal units as an encoder may give them: a key frame led by a
    // temporal delimiter and the sequence header (ours at 720p), then a frame.
    std::string const SequenceHeader = "0a0e 0000002d4cffb3cfbf9101010604";
    auto const Key = Frame("1200 " + SequenceHeader + " 3203 102030", 0, true);
    auto const Inter = Frame("1200 3202 4050", 400'000, false);
    SinkRun Run;
    Run.Start(MakeVideoType(MF::MFVideoFormat_AV1, {1280, 720, 25, 1}));
    Run.m_StreamSink->ProcessSample(MakeSample(Key));
    Run.m_StreamSink->ProcessSample(MakeSample(Inter));
    EXPECT_EQ(Run.m_Sink->GetCodecsString(), "av01.0.05M.08.0.110.01.01.06.0");
    auto const& Writes = Run.m_ByteStream->m_WriteVector;
    ASSERT_EQ(Writes.size(), 3u);
    auto const Configuration = Hex("61763143 81050c00 " + SequenceHeader);
    EXPECT_NE(std::search(Writes[0].begin(), Writes[0].end(), Configuration.begin(), Configuration.end()), Writes[0].end()) << "av1C";
    auto const Entry = Hex("61763031");
    EXPECT_NE(std::search(Writes[0].begin(), Writes[0].end(), Entry.begin(), Entry.end()), Writes[0].end()) << "av01";
    // Each mdat: the OBUs as they came, without the delimiter; sync flags.
    EXPECT_EQ(std::vector<std::uint8_t>(Writes[1].end() - 29, Writes[1].end()), Hex("0000001d 6d646174 " + SequenceHeader + " 3203 102030"));
    EXPECT_EQ(std::vector<std::uint8_t>(Writes[2].end() - 12, Writes[2].end()), Hex("0000000c 6d646174 3202 4050"));
    EXPECT_EQ(ReadU32(Writes[1], 96), 0x02000000u);
    EXPECT_EQ(ReadU32(Writes[2], 96), 0x01010000u);
    // A size that runs past the sample fails it.
    EXPECT_NE(Raised([&] { Run.m_StreamSink->ProcessSample(MakeSample(Frame("3209 4050", 800'000, false))); }), S_OK);
    Run.m_Sink->Shutdown();

    // Encrypted, a frame whose header runs past its OBU fails its sample.
    Mp4::ProtectionSettings Protection;
    Protection.m_Scheme = Mp4::ProtectionScheme::Cenc;
    Protection.m_KeyIdentifier = Protection.m_Key = Protection.m_InitializationVector = std::vector<std::uint8_t>(16, 1);
    SinkRun Protected;
    Protected.m_Sink->SetProtection(Protection);
    Protected.Start(MakeVideoType(MF::MFVideoFormat_AV1, {1280, 720, 25, 1}));
    EXPECT_NE(Raised([&] { Protected.m_StreamSink->ProcessSample(MakeSample(Key)); }), S_OK);
    Protected.m_Sink->Shutdown();
}

TEST(Mp4MediaSink, Vp9FramesAreCarriedAsTheyAreAndDescribedByTheFirstKeyFrame)
{
    // libvpx frames of 512×64: a key frame (2 tiles), then an inter frame.
    std::string const KeyFrame = "82498342001ff003f60638241c183e100010 4000 0000000e 6b38f7a69b004e0a701d12bb0580 6b38f7a69b004e0a701d12bb0580";
    std::string const InterFrame = "860040929c404f01000180 700000 00000004 5a20c000 5a20c000";
    SinkRun Run;
    Run.Start(MakeVideoType(MF::MFVideoFormat_VP90, {512, 64, 25, 1}));
    Run.m_StreamSink->ProcessSample(MakeSample(Frame(KeyFrame, 0, true)));
    Run.m_StreamSink->ProcessSample(MakeSample(Frame(InterFrame, 400'000, false)));
    // What vpcC and the codecs string say of the key frame is Mp4Vp9Test's.
    EXPECT_EQ(Run.m_Sink->GetCodecsString(), "vp09.00.10.08.00.02.02.02.00");
    auto const& Writes = Run.m_ByteStream->m_WriteVector;
    ASSERT_EQ(Writes.size(), 3u);
    EXPECT_EQ(std::vector<std::uint8_t>(Writes[1].end() - 52, Writes[1].end()), Hex(KeyFrame));
    EXPECT_EQ(std::vector<std::uint8_t>(Writes[2].end() - 26, Writes[2].end()), Hex(InterFrame));
    EXPECT_EQ(ReadU32(Writes[1], 96), 0x02000000u);
    EXPECT_EQ(ReadU32(Writes[2], 96), 0x01010000u);
    // A superframe: the inter frame twice, behind an index of their sizes.
    EXPECT_EQ(Raised([&] { Run.m_StreamSink->ProcessSample(MakeSample(Frame(InterFrame + InterFrame + "c1 1a 1a c1", 800'000, false))); }), E_NOTIMPL);
    Run.m_Sink->Shutdown();

    // A run must begin with a key frame, which describes the track.
    SinkRun Late;
    Late.Start(MakeVideoType(MF::MFVideoFormat_VP90, {512, 64, 25, 1}));
    EXPECT_EQ(Raised([&] { Late.m_StreamSink->ProcessSample(MakeSample(Frame(InterFrame, 0, false))); }), E_INVALIDARG);
    Late.m_Sink->Shutdown();
}
