// SPDX-License-Identifier: GPL-2.0-or-later
#include "presentation/Base64.h"
#include "presentation/ClearKeyLicence.h"

#include "base/FailureCodes.h"
#include "base/StringFormat.h"
#include "presentation/TestSupport.h"

using namespace Application;
using Application::Test::RaisedStatus;

namespace
{
Configuration EncryptedAsset()
{
    return Configuration(1, 0, Application::Test::Query("key=000102030405060708090A0B0C0D0E0F"), 0);
}

// The fixed key ID A3F1C6D2-847B-4E09-B5E2-D7C8196F3A40 in base64url.
constexpr char const* KeyIdText = "o_HG0oR7Tgm14tfIGW86QA";
} // namespace

TEST(Base64Url, UrlAlphabetWithAndWithoutFill)
{
    EXPECT_EQ(EncodeBase64Url(FixedKeyId), KeyIdText);
    EXPECT_EQ(EncodeBase64Url(std::vector<std::uint8_t>{0xFB, 0xFF}), "-_8");
    EXPECT_EQ(DecodeBase64Url("-_8"), (std::vector<std::uint8_t>{0xFB, 0xFF}));
    EXPECT_EQ(DecodeBase64Url("-_8="), (std::vector<std::uint8_t>{0xFB, 0xFF}));
    EXPECT_EQ(DecodeBase64Url("Zg=="), (std::vector<std::uint8_t>{'f'}));
    EXPECT_EQ(DecodeBase64Url(""), std::vector<std::uint8_t>{});
    for(auto Text : {"+/8=", "Z", "Zg=", "Z===", "Zg=a", "====", "Zm 9v"})
        EXPECT_FALSE(DecodeBase64Url(Text).has_value()) << Text;
}

TEST(ClearKeyLicence, AnswersTheAssetKeyForItsKeyId)
{
    std::string const Licence = R"({"keys":[{"kty":"oct","kid":"o_HG0oR7Tgm14tfIGW86QA","k":"AAECAwQFBgcICQoLDA0ODw"}],"type":"temporary"})";
    auto const Asset = EncryptedAsset();
    EXPECT_EQ(ClearKeyLicence::Answer(Asset, R"({"kids":["o_HG0oR7Tgm14tfIGW86QA"],"type":"temporary"})"), Licence);
    // Fill, repetition, other members and white space are accepted.
    EXPECT_EQ(ClearKeyLicence::Answer(Asset, " { \"type\" : \"persistent-license\", \"x\": {\"y\": [1, 2]},\n \"kids\": [\"o_HG0oR7Tgm14tfIGW86QA==\", \"o_HG0oR7Tgm14tfIGW86QA\"] } "),
              Licence);
}

TEST(ClearKeyLicence, RefusesMalformedRequestsOtherKeysAndClearAssets)
{
    auto const Asset = EncryptedAsset();
    std::string const Deep = std::string(20'000, '[') + std::string(20'000, ']');
    std::string Many = "{\"kids\":[";
    for(std::size_t Index = 0; Index <= ClearKeyLicence::MaximalKeyIds; ++Index)
        Many += std::string(Index ? "," : "") + "\"" + KeyIdText + "\"";
    Many += "]}";
    for(std::string const& Request : std::initializer_list<std::string>{"", "{", "[]", "null", "{\"kids\":\"o_HG0oR7Tgm14tfIGW86QA\"}", "{\"kids\":[]}", "{\"kids\":[1]}",
                                      "{\"kids\":[[\"o_HG0oR7Tgm14tfIGW86QA\"]]}", "{\"kids\":[\"o_HG0oR7Tgm14tfIGW86\"]}", "{\"kid\":[\"o_HG0oR7Tgm14tfIGW86QA\"]}",
                                      // another key ID alone, or beside ours
                                      "{\"kids\":[\"AAAAAAAAAAAAAAAAAAAAAA\"]}", "{\"kids\":[\"o_HG0oR7Tgm14tfIGW86QA\",\"AAAAAAAAAAAAAAAAAAAAAA\"]}", Deep, Many})
        EXPECT_EQ(RaisedStatus([&] { ClearKeyLicence::Answer(Asset, Request); }), E_INVALIDARG) << Request.substr(0, 80);
    Configuration const Clear(2, 0, Application::Test::Query(""), 0);
    EXPECT_EQ(RaisedStatus([&] { ClearKeyLicence::Answer(Clear, R"({"kids":["o_HG0oR7Tgm14tfIGW86QA"]})"); }), FailureCode::AssetWithoutKey);
}
