// SPDX-License-Identifier: GPL-2.0-or-later
#include "presentation/Base64.h"
#include "presentation/PlayReadyHeader.h"

#include <gtest/gtest.h>

using namespace Application;

namespace
{
std::vector<std::uint8_t> const Key{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};

unsigned ReadLittleEndian(std::vector<std::uint8_t> const& Bytes, std::size_t Offset, unsigned Size)
{
    unsigned Value = 0;
    for(unsigned Index = 0; Index < Size; ++Index)
        Value |= unsigned{Bytes.at(Offset + Index)} << (8 * Index);
    return Value;
}

// The record value read back as text; every code unit must be ASCII.
std::string RecordText(std::vector<std::uint8_t> const& Object)
{
    std::string Text;
    for(std::size_t Offset = 10; Offset + 1 < Object.size(); Offset += 2)
    {
        EXPECT_EQ(Object[Offset + 1], 0u);
        Text.push_back(static_cast<char>(Object[Offset]));
    }
    return Text;
}

std::string const Open = "<WRMHEADER xmlns=\"http://schemas.microsoft.com/DRM/2007/03/PlayReadyHeader\" version=\"";
// The fixed key ID A3F1C6D2-847B-4E09-B5E2-D7C8196F3A40 in GUID byte order
// (D2 C6 F1 A3 7B 84 09 4E B5 E2 ...), as PlayReady clients read it.
std::string const KeyIdText = "0sbxo3uECU614tfIGW86QA==";
std::string const KeyText = "AAECAwQFBgcICQoLDA0ODw==";
std::string const LicenceUrl = "<LA_URL>http://test.playready.microsoft.com/service/rightsmanager.asmx?cfg=(persist:false,ck:" + KeyText;
} // namespace

TEST(Base64, StandardAlphabetWithFill)
{
    EXPECT_EQ(EncodeBase64(std::vector<std::uint8_t>{}), "");
    EXPECT_EQ(EncodeBase64(std::vector<std::uint8_t>{'f'}), "Zg==");
    EXPECT_EQ(EncodeBase64(std::vector<std::uint8_t>{'f', 'o', 'o', 'b'}), "Zm9vYg==");
    EXPECT_EQ(EncodeBase64(std::vector<std::uint8_t>{0xFB, 0xFF, 0xBF}), "+/+/");
    EXPECT_EQ(EncodeBase64(FixedKeyId), "o/HG0oR7Tgm14tfIGW86QA==");
}

TEST(PlayReadyHeader, KeyIdsAreWrittenInGuidByteOrder)
{
    // 6f651ae1-dbe4-4434-bcb4-690d1564c41c, the example of the PlayReady
    // header documentation, is written as 4Rplb+TbNES8tGkNFWTEHA==.
    std::vector<std::uint8_t> const DocumentedKeyId{0x6F, 0x65, 0x1A, 0xE1, 0xDB, 0xE4, 0x44, 0x34, 0xBC, 0xB4, 0x69, 0x0D, 0x15, 0x64, 0xC4, 0x1C};
    EXPECT_NE(PlayReadyHeader::BuildXml(EncryptionScheme::Cenc, DocumentedKeyId, Key).find("<KID>4Rplb+TbNES8tGkNFWTEHA==</KID>"), std::string::npos);
    EXPECT_NE(PlayReadyHeader::BuildXml(EncryptionScheme::Cbcs, DocumentedKeyId, Key).find("VALUE=\"4Rplb+TbNES8tGkNFWTEHA==\""), std::string::npos);
}

TEST(PlayReadyHeader, ObjectLayoutAndXmlOfEachScheme)
{
    struct Case
    {
        EncryptionScheme Scheme;
        std::string Xml;
    };
    std::vector<Case> const Cases{
        {EncryptionScheme::Cenc, Open + "4.0.0.0\"><DATA><KID>" + KeyIdText + "</KID>" + LicenceUrl +
                                     ")</LA_URL><PROTECTINFO><KEYLEN>16</KEYLEN><ALGID>AESCTR</ALGID></PROTECTINFO></DATA></WRMHEADER>"},
        {EncryptionScheme::Cbcs, Open + "4.3.0.0\"><DATA>" + LicenceUrl + ",ckt:aescbc)</LA_URL><PROTECTINFO><KIDS><KID ALGID=\"AESCBC\" VALUE=\"" + KeyIdText +
                                     "\"></KID></KIDS></PROTECTINFO></DATA></WRMHEADER>"},
    };
    for(auto const& [Scheme, Xml] : Cases)
    {
        EXPECT_EQ(PlayReadyHeader::BuildXml(Scheme, FixedKeyId, Key), Xml);
        auto const Object = PlayReadyHeader::BuildObject(Scheme, FixedKeyId, Key);
        ASSERT_GT(Object.size(), 10u);
        EXPECT_EQ(ReadLittleEndian(Object, 0, 4), Object.size());
        EXPECT_EQ(ReadLittleEndian(Object, 4, 2), 1u); // record count
        EXPECT_EQ(ReadLittleEndian(Object, 6, 2), 1u); // rights-management header
        EXPECT_EQ(ReadLittleEndian(Object, 8, 2), 2 * Xml.size());
        EXPECT_EQ(ReadLittleEndian(Object, 0, 4), 10 + 2 * Xml.size());
        EXPECT_EQ(RecordText(Object), Xml);
    }
    EXPECT_TRUE(PlayReadyHeader::BuildObject(static_cast<EncryptionScheme>(3), FixedKeyId, Key).empty());
}
