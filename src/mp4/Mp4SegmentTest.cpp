// SPDX-License-Identifier: GPL-2.0-or-later
// Protected segments from real encoders, packaged by the sink and judged by
// what ffmpeg decrypts. The times of the server's own rows, B-pictures
// across segment joints included, are judged end to end by test_conformance.py.
#include <gtest/gtest.h>

#include <regex>

#include "mp4/Mp4TestBoxReader.h"

#include "mf/Guids.h"
#include "mp4/Mp4SinkTestTools.h"
#include "mp4/Mp4TestBytes.h"

using namespace Mp4::Test;
using Mp4::Test::Hex;
using Mp4::Test::ReadU32;

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

// A fragment run under a key of its own, its header naming the asset's key
// (Protection's) as the default.
std::string const FragmentKeyHex = "0f1e2d3c4b5a69788796a5b4c3d2e1f0";
Mp4::ProtectionSettings OtherKey(Mp4::ProtectionScheme Scheme)
{
    auto Settings = Protection(Scheme);
    Settings.m_DefaultKeyIdentifier = Settings.m_KeyIdentifier;
    Settings.m_KeyIdentifier = Hex("5b0c7e1f2a3d4c6e8f9a0b1c2d3e4f50");
    Settings.m_Key = Hex(FragmentKeyHex);
    Settings.m_FragmentPssh = true;
    return Settings;
}

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

// A fragment under another key than the header's decrypts with that key and
// not with the header's; clear samples read as they are.
TEST(Segment, FragmentsUnderTheirOwnKeyOrClear)
{
    VideoSettings Settings;
    Settings.m_FrameCount = 3;
    Settings.m_Slices = 2;
    auto const Video = EncodeH264(Settings);
    auto const VideoType = MakeVideoType(MF::MFVideoFormat_H264, Settings);
    auto const Aac = EncodeAac(3);
    auto const AudioType = MakeAudioType(MF::MFAudioFormat_AAC, Aac.m_Header);
    for(auto const Scheme : {Mp4::ProtectionScheme::Cenc, Mp4::ProtectionScheme::Cbcs})
        for(auto const& [Type, Frames] : {std::pair(VideoType, &Video), std::pair(AudioType, &Aac.m_FrameVector)})
        {
            SCOPED_TRACE(static_cast<int>(Scheme));
            auto const ClearPayloads = ReadPayloads(Package(Type, Samples(*Frames)));
            auto const Rotated = Package(Type, Samples(*Frames), OtherKey(Scheme));
            EXPECT_EQ(ReadPayloads(Rotated, FragmentKeyHex), ClearPayloads);
            EXPECT_NE(ReadPayloads(Rotated, KeyHex), ClearPayloads);
            auto Lead = Protection(Scheme);
            Lead.m_ClearSamples = true;
            EXPECT_EQ(ReadPayloads(Package(Type, Samples(*Frames), Lead)), ClearPayloads);
        }
}

// The two box readers players use (mp4box, codem-isoboxer, through
// tests/segment_readers.mjs) read a header and a body of fragments with
// sample groups and pssh boxes of their own without an error, and find the
// default key in the header and each sample's encryption where saio says.
TEST(Segment, PlayerBoxReadersReadFragmentProtection)
{
    std::string const Script = std::string(QUORVEL_SOURCE_DIR) + "/tests/segment_readers.mjs";
    if(RunCommand("cd '" QUORVEL_SOURCE_DIR "/web' && node -e \"require('mp4box'); require('codem-isoboxer')\" 2>/dev/null && echo yes").empty())
        GTEST_SKIP() << "no node or no npm readers (scripts/setup installs them)";
    VideoSettings Settings;
    Settings.m_FrameCount = 3;
    auto const Video = EncodeH264(Settings);
    auto const VideoType = MakeVideoType(MF::MFVideoFormat_H264, Settings);
    auto const Aac = EncodeAac(3);
    auto const AudioType = MakeAudioType(MF::MFAudioFormat_AAC, Aac.m_Header);
    auto Lead = Protection(Mp4::ProtectionScheme::Cbcs);
    Lead.m_ClearSamples = true;
    struct Case
    {
        std::shared_ptr<MF::MediaType> m_Type;
        std::vector<EncodedFrame> const& m_Frames;
        Mp4::ProtectionSettings m_Settings;
    } const Cases[]{
        {VideoType, Video, OtherKey(Mp4::ProtectionScheme::Cbcs)},
        {AudioType, Aac.m_FrameVector, OtherKey(Mp4::ProtectionScheme::Cenc)},
        {VideoType, Video, Lead},
    };
    for(auto const& Value : Cases)
    {
        auto const File = Package(Value.m_Type, Samples(Value.m_Frames), Value.m_Settings);
        std::size_t const HeaderSize = ReadU32(File, 0) + ReadU32(File, ReadU32(File, 0));
        TemporaryFile const Header(std::vector<std::uint8_t>(File.begin(), File.begin() + HeaderSize));
        TemporaryFile const Body(std::vector<std::uint8_t>(File.begin() + HeaderSize, File.end()));
        std::string const View = RunCommand("node '" + Script + "' '" + Header.GetPath() + "' '" + Body.GetPath() + "' 2>&1");
        SCOPED_TRACE(View);
        auto Count = [&](std::string const& Text) {
            std::size_t Result = 0;
            for(std::size_t Position = View.find(Text); Position != std::string::npos; Position = View.find(Text, Position + 1))
                ++Result;
            return Result;
        };
        std::string Sequences;
        std::size_t Fragments = 0;
        for(auto const& Box : ReadBoxes(std::vector<std::uint8_t>(File.begin() + HeaderSize, File.end())))
            if(Box.m_Type == "moof")
            {
                if(Fragments++)
                    Sequences.push_back(',');
                Sequences.append(std::to_string(Fragments));
            }
        ASSERT_GT(Fragments, 1u);
        EXPECT_EQ(Count("\"errors\":[]"), 2u);
        EXPECT_EQ(Count("\"sequences\":[" + Sequences + "]"), 2u);
        EXPECT_EQ(Count("\"kid\":\"a3f1c6d2847b4e09b5e2d7c8196f3a40\""), 2u) << "tenc names the default key";
        EXPECT_EQ(Count("\"senc\":{"), Value.m_Settings.m_ClearSamples ? 0 : 2 * Fragments);
        std::regex const Auxiliary("\"saio\":\\[(\\d+)\\],\"sencEntriesAt\":(\\d+)");
        std::size_t Pointers = 0;
        for(auto Match = std::sregex_iterator(View.begin(), View.end(), Auxiliary); Match != std::sregex_iterator(); ++Match, ++Pointers)
            EXPECT_EQ((*Match)[1].str(), (*Match)[2].str()) << "saio points at the senc entry";
        bool const Video = Value.m_Type == VideoType;
        EXPECT_EQ(Pointers, Video && !Value.m_Settings.m_ClearSamples ? 2 * Fragments : 0);
    }
}
