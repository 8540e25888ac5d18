// SPDX-License-Identifier: GPL-2.0-or-later
// What a protected fragment says where it differs from its initialisation
// segment (clear samples, another key, the key named for the protection
// systems), read back box by box. That box readers take them and ffmpeg
// deciphers the samples with the fragment's key is judged end to end by
// test_changes.py.
#include <gtest/gtest.h>

#include <algorithm>

#include "mp4/Mp4FragmentBuilder.h"
#include "mp4/Mp4SampleEncryptor.h"
#include "mp4/Mp4TestBoxReader.h"

using namespace Mp4;
using namespace Mp4::Test;

namespace
{
std::string const DefaultKid = "a3f1c6d2847b4e09b5e2d7c8196f3a40";
std::string const FragmentKid = "5b0c7e1f2a3d4c6e8f9a0b1c2d3e4f50";
std::string const Iv = "d5fbd6b82ed93e4ef98ae40931ee33b7";
std::string const CommonSystem = "1077efecc0b24d02ace33c1e52e2fb4b";
std::string const PlayReadySystem = "9a04f07998404286ab92e65be0885f95";

struct Case
{
    char const* m_Name;
    ProtectionScheme m_Scheme;
    bool m_Video;
    bool m_ClearSamples;
    bool m_OtherKey;
    bool m_FragmentPssh;
    std::vector<std::string> m_TrafTypes;
    std::string m_SeigEntry; // hexadecimal; empty: no sample group
};

std::vector<std::string> const Plain = {"tfhd", "tfdt", "trun"};
std::vector<std::string> const Grouped = {"tfhd", "tfdt", "trun", "sbgp", "sgpd"};
std::vector<std::string> const Encrypted = {"tfhd", "tfdt", "trun", "saiz", "saio", "senc"};
std::vector<std::string> const GroupedEncrypted = {"tfhd", "tfdt", "trun", "sbgp", "sgpd", "saiz", "saio", "senc"};
std::vector<std::string> const GroupedAudio = {"tfhd", "tfdt", "trun", "sbgp", "sgpd", "senc"};

std::string const ClearEntry = "00 00 00 00" + std::string(32, '0');
Case const Cases[]{
    {"clear cenc video", ProtectionScheme::Cenc, true, true, false, false, Grouped, ClearEntry},
    {"clear cbcs audio", ProtectionScheme::Cbcs, false, true, false, false, Grouped, ClearEntry},
    {"clear under another key, pssh asked", ProtectionScheme::Cbcs, true, true, true, true, Grouped, ClearEntry},
    {"another key, cenc video", ProtectionScheme::Cenc, true, false, true, false, GroupedEncrypted, "00 00 01 08" + FragmentKid},
    {"another key, cbcs video, pssh", ProtectionScheme::Cbcs, true, false, true, true, GroupedEncrypted, "00 19 01 00" + FragmentKid + "10" + Iv},
    {"another key, cenc audio, pssh", ProtectionScheme::Cenc, false, false, true, true, GroupedAudio, "00 00 01 08" + FragmentKid},
    {"another key, cbcs audio", ProtectionScheme::Cbcs, false, false, true, false, GroupedAudio, "00 00 01 00" + FragmentKid + "10" + Iv},
    {"default key, pssh", ProtectionScheme::Cenc, true, false, false, true, Encrypted, ""},
    {"default key, cbcs audio", ProtectionScheme::Cbcs, false, false, false, false, {"tfhd", "tfdt", "trun", "senc"}, ""},
};

ProtectionSettings SettingsOf(Case const& Value)
{
    ProtectionSettings Settings;
    Settings.m_Scheme = Value.m_Scheme;
    Settings.m_KeyIdentifier = Hex(Value.m_OtherKey ? FragmentKid : DefaultKid);
    Settings.m_Key = Hex("2b7e151628aed2a6abf7158809cf4f3c");
    Settings.m_InitializationVector = Hex(Iv);
    Settings.m_DefaultKeyIdentifier = Hex(DefaultKid);
    Settings.m_ClearSamples = Value.m_ClearSamples;
    Settings.m_FragmentPssh = Value.m_FragmentPssh;
    Settings.m_DataProvider = [](ProtectionSystemId const& SystemId) { return SystemId == PlayReadySystemId ? Hex("c0ffee") : std::vector<std::uint8_t>(); };
    return Settings;
}

// An IDR slice long enough for a protected range under both schemes.
std::vector<std::uint8_t> VideoPayload()
{
    std::vector<std::uint8_t> Bytes(4 + 600, 0x5A);
    Bytes[0] = Bytes[1] = 0;
    Bytes[2] = 600 >> 8;
    Bytes[3] = 600 & 0xFF;
    Bytes[4] = 0x65;
    return Bytes;
}
} // namespace

TEST(FragmentProtection, FragmentsSayWhatDiffersFromTheHeader)
{
    for(auto const& Value : Cases)
    {
        SCOPED_TRACE(Value.m_Name);
        SampleEncryptor const Encryptor(SettingsOf(Value));
        auto Payload = Value.m_Video ? VideoPayload() : std::vector<std::uint8_t>(100, 0x21);
        auto const Original = Payload;
        FragmentBuilder::Sample const Sample{7, 1, 90000, 3600, 0, FragmentBuilder::SyncSampleFlags};
        auto const Fragment = Value.m_Video ? FragmentBuilder::BuildVideo(Sample, Payload, VideoCodec::H264, &Encryptor)
                                            : FragmentBuilder::BuildAudio(Sample, Payload, &Encryptor);
        auto const Moof = MoofOf(Fragment);
        auto const Top = ReadBoxes(Moof);
        ASSERT_EQ(Top.size(), 1u);
        ReadBox const& Traf = Top[0].Child("traf");
        EXPECT_EQ(Traf.ChildTypes(), Value.m_TrafTypes);

        // pssh boxes between mfhd and traf: the common system's with the
        // fragment's key ID alone, then the provider's systems'.
        bool const Pssh = Value.m_FragmentPssh && !Value.m_ClearSamples;
        std::vector<std::string> const MoofTypes = Pssh ? std::vector<std::string>{"mfhd", "pssh", "pssh", "traf"} : std::vector<std::string>{"mfhd", "traf"};
        EXPECT_EQ(Top[0].ChildTypes(), MoofTypes);
        if(Pssh)
        {
            EXPECT_EQ(Top[0].m_Children[1].m_Content, Hex("01000000" + CommonSystem + "00000001" + (Value.m_OtherKey ? FragmentKid : DefaultKid) + "00000000"));
            EXPECT_EQ(Top[0].m_Children[2].m_Content, Hex("01000000" + PlayReadySystem + "00000001" + (Value.m_OtherKey ? FragmentKid : DefaultKid) + "00000003 c0ffee"));
        }

        // One group entry for every sample of the fragment, described in the
        // same track fragment (index 0x10001).
        if(!Value.m_SeigEntry.empty())
        {
            auto const Entry = Hex(Value.m_SeigEntry);
            EXPECT_EQ(Traf.Child("sbgp").m_Content, Hex("00000000 73656967 00000001 00000001 00010001"));
            auto Expected = Hex("01000000 73656967");
            Expected.insert(Expected.end(), {0, 0, 0, static_cast<std::uint8_t>(Entry.size()), 0, 0, 0, 1});
            Expected.insert(Expected.end(), Entry.begin(), Entry.end());
            EXPECT_EQ(Traf.Child("sgpd").m_Content, Expected);
        }

        // The data offset and saio still count from the moof's first byte.
        EXPECT_EQ(ReadU32(Traf.Child("trun").m_Content, 8), Moof.size() + 8);
        if(auto const Saio = Traf.Children("saio"); !Saio.empty())
        {
            EXPECT_EQ(ReadU32(Saio[0]->m_Content, 8), Traf.Child("senc").m_Offset + 16);
        }
        auto const Mdat = MdatOf(Fragment);
        std::vector<std::uint8_t> const Written(Mdat.begin() + 8, Mdat.end());
        if(Value.m_ClearSamples)
            EXPECT_EQ(Written, Original);
        else
            EXPECT_NE(Written, Original);
    }
}
