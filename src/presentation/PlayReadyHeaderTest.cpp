#include "presentation/Base64.h"
#include "presentation/PlayReadyHeader.h"
#include "presentation/ProtectionDataProvider.h"

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
std::string const KeyIdText = "o/HG0oR7Tgm14tfIGW86QA==";
std::string const KeyText = "AAECAwQFBgcICQoLDA0ODw==";
std::string const LicenceUrl = "<LA_URL>http://test.playready.microsoft.com/service/rightsmanager.asmx?cfg=(persist:false,ck:" + KeyText;
} // namespace

TEST(Base64, StandardAlphabetWithFill)
{
    EXPECT_EQ(EncodeBase64(std::vector<std::uint8_t>{}), "");
    EXPECT_EQ(EncodeBase64(std::vector<std::uint8_t>{'f'}), "Zg==");
    EXPECT_EQ(EncodeBase64(std::vector<std::uint8_t>{'f', 'o', 'o', 'b'}), "Zm9vYg==");
    EXPECT_EQ(EncodeBase64(std::vector<std::uint8_t>{0xFB, 0xFF, 0xBF}), "+/+/");
    EXPECT_EQ(EncodeBase64(FixedKeyId), KeyIdText);
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
        {EncryptionScheme::CencPlayReady42, Open + "4.2.0.0\"><DATA>" + LicenceUrl + ")</LA_URL><PROTECTINFO><KIDS><KID ALGID=\"AESCTR\" VALUE=\"" + KeyIdText +
                                                "\"></KID></KIDS></PROTECTINFO></DATA></WRMHEADER>"},
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

TEST(ProtectionDataProvider, AnswersOnlyForPlayReady)
{
    ProtectionDataProvider Provider;
    {
        std::vector<std::uint8_t> AssetKey = Key;
        Provider = MakeProtectionDataProvider(EncryptionScheme::Cbcs, AssetKey);
    } // the provider keeps its own copy of the key
    EXPECT_EQ(Provider(PlayReadyHeader::SystemId), PlayReadyHeader::BuildObject(EncryptionScheme::Cbcs, FixedKeyId, Key));
    ProtectionSystemId const CommonSystemId{0x10, 0x77, 0xEF, 0xEC, 0xC0, 0xB2, 0x4D, 0x02, 0xAC, 0xE3, 0x3C, 0x1E, 0x52, 0xE2, 0xFB, 0x4B};
    EXPECT_TRUE(Provider(CommonSystemId).empty());
}
