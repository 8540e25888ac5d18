// SPDX-License-Identifier: GPL-2.0-or-later
// Protected segments from real encoders, packaged by the sink and judged by
// what ffmpeg decrypts. The times of the server's own rows, B-pictures
// across segment joints included, are judged end to end by test_conformance.py.
#include <gtest/gtest.h>

#include "mf/Guids.h"
#include "mp4/Mp4SinkTestTools.h"
#include "mp4/Mp4TestBytes.h"

using namespace Mp4::Test;
using Mp4::Test::Hex;

namespace
{
std::vector<std::shared_ptr<MF::Sample>> Samples(std::vector<EncodedFrame> const& Frames)
{
    std::vector<std::shared_ptr<MF::Sample>> Result;
    for(auto const& Frame : Frames)
        Result.push_back(MakeSample(Frame));
    return Result;
}

Mp4::ProtectionSettings Protection(Mp4::ProtectionScheme Scheme)
{
    Mp4::ProtectionSettings Settings;
    Settings.m_Scheme = Scheme;
    Settings.m_KeyIdentifier = Hex("a3f1c6d2847b4e09b5e2d7c8196f3a40");
    Settings.m_Key = Hex("3c4e5f60718293a4b5c6d7e8f9012345");
    Settings.m_InitializationVector = Hex("d5fbd6b82ed93e4ef98ae40931ee33b7");
    return Settings;
}
std::string const KeyHex = "3c4e5f60718293a4b5c6d7e8f9012345";

} // namespace

// Protected segments: ffmpeg decrypts every sample back to the clear payload,
// and the first picture decodes to the clear picture.
static void ExpectDecryptsToClear(std::shared_ptr<MF::MediaType> const& Type, std::vector<EncodedFrame> const& Frames, Mp4::ProtectionScheme Scheme)
{
    auto const Clear = Package(Type, Samples(Frames));
    auto const Encrypted = Package(Type, Samples(Frames), Protection(Scheme));
    auto const ClearPayloads = ReadPayloads(Clear);
    ASSERT_GT(ClearPayloads.size(), 1000u);
    EXPECT_NE(ReadPayloads(Encrypted), ClearPayloads) << "the payloads are encrypted";
    EXPECT_EQ(ReadPayloads(Encrypted, KeyHex), ClearPayloads) << static_cast<int>(Scheme);
}

TEST(Segment, EncryptedH264DecryptsToTheClearSamples)
{
    VideoSettings Settings;
    Settings.m_FrameCount = 12;
    Settings.m_Slices = 3; // several protected ranges per picture
    auto const Frames = EncodeH264(Settings);
    auto const Type = MakeVideoType(MF::MFVideoFormat_H264, Settings);
    ExpectDecryptsToClear(Type, Frames, Mp4::ProtectionScheme::Cenc);
    ExpectDecryptsToClear(Type, Frames, Mp4::ProtectionScheme::Cbcs);

    // The first sample of a segment decrypts too: its counter block is the IV senc signals.
    std::vector<EncodedFrame> const First(Frames.begin(), Frames.begin() + 1);
    TemporaryFile const ClearFile(Package(Type, Samples(First)));
    TemporaryFile const EncryptedFile(Package(Type, Samples(First), Protection(Mp4::ProtectionScheme::Cenc)));
    EXPECT_EQ(DecodedFrameDigests(EncryptedFile.GetPath(), KeyHex), DecodedFrameDigests(ClearFile.GetPath()));
    EXPECT_NE(DecodedFrameDigests(EncryptedFile.GetPath(), "00000000000000000000000000000000"), DecodedFrameDigests(ClearFile.GetPath()));
}

TEST(Segment, EncryptedHevcDecryptsToTheClearSamples)
{
    VideoSettings Settings;
    Settings.m_FrameCount = 12;
    auto const Frames = EncodeHevc(Settings);
    auto const Type = MakeVideoType(MF::MFVideoFormat_HEVC, Settings);
    ExpectDecryptsToClear(Type, Frames, Mp4::ProtectionScheme::Cenc);
    ExpectDecryptsToClear(Type, Frames, Mp4::ProtectionScheme::Cbcs);
}

TEST(Segment, EncryptedAacDecryptsToTheClearSamples)
{
    auto const Aac = EncodeAac(12);
    auto const Type = MakeAudioType(MF::MFAudioFormat_AAC, Aac.m_Header);
    ExpectDecryptsToClear(Type, Aac.m_FrameVector, Mp4::ProtectionScheme::Cenc);
    ExpectDecryptsToClear(Type, Aac.m_FrameVector, Mp4::ProtectionScheme::Cbcs);
}
