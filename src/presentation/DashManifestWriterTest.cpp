#include "presentation/AssetRegistry.h"
#include "presentation/DashManifestWriter.h"

#include <fstream>
#include <sstream>

#include "presentation/TestSupport.h"

using namespace Application;
using Application::Test::Query;

namespace
{
constexpr std::int64_t Start = Application::Test::January2024;

// An expected manifest from testdata/, its line breaks removed.
std::string Expected(char const* Name)
{
    std::ifstream File(std::string(PRESENTATION_TEST_DATA) + "/" + Name);
    EXPECT_TRUE(File.good()) << Name;
    std::string Text, Line;
    while(std::getline(File, Line))
        Text += Line;
    return Text;
}

class DashManifestWriterTest : public ::testing::Test
{
protected:
    DashManifestWriterTest()
    {
        for(auto& Variant : m_Defaults.H264.VideoVariants)
            Variant.Codecs = "VIDEO-CODECS";
        m_Defaults.H264.AudioVariants[0].Codecs = "AUDIO-CODECS";
    }
    std::string Manifest(std::string_view Text, bool WriteResponseFiles = false)
    {
        AssetRegistry Registry(m_Defaults);
        auto const Query = Application::Test::Query(Text);
        auto const& Asset = Registry.Create(ManifestKind::Dash, Query, Start, Start);
        return DashManifestWriter(Asset, HttpServer::FindQueryValue(Query, "trickplay") != nullptr, WriteResponseFiles).Write();
    }

    DefaultVariantSets m_Defaults;
};
} // namespace

TEST_F(DashManifestWriterTest, WholeDocuments)
{
    EXPECT_EQ(Manifest(""), Expected("default.mpd"));
    EXPECT_EQ(Manifest("trickplay"), Expected("trickplay.mpd"));
    EXPECT_EQ(Manifest("novideo&trickplay"), Expected("novideo.mpd"));
    EXPECT_EQ(Manifest("", true), Expected("files.mpd"));
}

TEST_F(DashManifestWriterTest, OptionsThatDoNotChangeTheDocument)
{
    // Duration, live, encryption and the HLS-only keys leave the manifest as it is.
    EXPECT_EQ(Manifest("duration=60&live&hvc1&flac&key=000102030405060708090A0B0C0D0E0F"), Expected("default.mpd"));
    auto const NoAudio = Manifest("noaudio");
    EXPECT_EQ(NoAudio.find("contentType=\"audio\""), std::string::npos);
    EXPECT_EQ(NoAudio.find("audio-"), std::string::npos);
    EXPECT_NE(NoAudio.find("<AdaptationSet id=\"0\" contentType=\"video\">"), std::string::npos);
}
