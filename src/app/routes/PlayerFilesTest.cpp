// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/routes/PlayerFiles.h"

#include <fstream>

#include <gtest/gtest.h>

#include "app/answers/EntityTagOf.h"
#include "base/HResultError.h"

using namespace Application;

namespace
{
// A folder of its own under the test's temporary folder, removed afterwards.
struct Folder
{
    std::filesystem::path Path;
    explicit Folder(std::string const& Name) : Path(std::filesystem::path(testing::TempDir()) / Name)
    {
        std::filesystem::remove_all(Path);
        std::filesystem::create_directories(Path);
    }
    ~Folder() { std::filesystem::remove_all(Path); }
    void Write(std::string const& Name, std::string const& Text) const { std::ofstream(Path / Name, std::ios::binary) << Text; }
};
} // namespace

TEST(PlayerFiles, FindsTheFolderBesideTheProgramThenTheInstalledOne)
{
    Folder const Root("player-files-find");
    std::filesystem::create_directories(Root.Path / "bin");
    EXPECT_FALSE(PlayerFiles::FindFolder(Root.Path / "bin"));
    std::filesystem::create_directories(Root.Path / "share/quorvel/player");
    EXPECT_EQ(PlayerFiles::FindFolder(Root.Path / "bin"), Root.Path / "share/quorvel/player");
    std::filesystem::create_directories(Root.Path / "bin/player");
    EXPECT_EQ(PlayerFiles::FindFolder(Root.Path / "bin"), Root.Path / "bin/player");
}

TEST(PlayerFiles, ReadsTheTopLevelOfTheFolderAndTypesWhatItDoesNotKnow)
{
    // The players' scripts, styles and licences as they are served are
    // test_home_page.py's; here what the installed folder never holds.
    Folder const Player("player-files-read");
    Player.Write("hls.min.js", "var Hls;");
    Player.Write("data.bin", std::string("\0\1", 2));
    std::filesystem::create_directories(Player.Path / "nested");
    auto const Files = PlayerFiles::Read(Player.Path).GetFiles();
    ASSERT_EQ(Files.size(), 2u);
    EXPECT_EQ(Files[0].Name, "data.bin");
    EXPECT_EQ(Files[0].ContentType, "application/octet-stream");
    EXPECT_EQ(std::string(Files[0].Bytes->begin(), Files[0].Bytes->end()), std::string("\0\1", 2));
    EXPECT_EQ(Files[0].EntityTag, EntityTagOf(std::string("\0\1", 2)));
}

TEST(PlayerFiles, RefusesNamesThatAreNoPlainSegmentAndTooManyFiles)
{
    for(char const* Name : {"a b.js", "caf\xc3\xa9.js", "x%2F.js", ".hidden"})
    {
        SCOPED_TRACE(Name);
        Folder const Player("player-files-name");
        Player.Write(Name, "x");
        EXPECT_THROW(PlayerFiles::Read(Player.Path), HResultError);
    }
    Folder const Many("player-files-many");
    for(std::size_t Index = 0; Index <= PlayerFiles::MaximalFileCount; ++Index)
        Many.Write(std::to_string(Index) + ".js", "x");
    EXPECT_THROW(PlayerFiles::Read(Many.Path), HResultError);
}
