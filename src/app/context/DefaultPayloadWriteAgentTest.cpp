// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/context/DefaultPayloadWriteAgent.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

using Application::DefaultPayloadWriteAgent;

namespace
{
class ResponseFolder : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_Directory = std::filesystem::temp_directory_path() / ("quorvel-payload-" + std::to_string(getpid()));
        std::filesystem::remove_all(m_Directory);
        std::filesystem::create_directories(m_Directory);
    }
    void TearDown() override { std::filesystem::remove_all(m_Directory); }
    std::string Read(std::string const& Name) const
    {
        std::ifstream File(m_Directory / Name, std::ios::binary);
        std::ostringstream Text;
        Text << File.rdbuf();
        return Text.str();
    }
    std::vector<std::string> Names() const
    {
        std::vector<std::string> Result;
        for(auto const& Entry : std::filesystem::directory_iterator(m_Directory))
            Result.push_back(Entry.path().filename().string());
        std::sort(Result.begin(), Result.end());
        return Result;
    }

    std::filesystem::path m_Directory;
};
} // namespace

TEST_F(ResponseFolder, FilesAreNumberedAndDeletingDoesNotRestartTheCount)
{
    DefaultPayloadWriteAgent Writer(m_Directory);
    std::string const Playlist = "#EXTM3U\r\n";
    Writer.Write({"master.m3u8", {}, Playlist.data(), Playlist.size()});
    Writer.Write({"video-header.mp4", "video-header-v0.mp4", "\0\1", 2});
    Writer.Write({"manifest.mpd", "manifest.mpd.xml", "<MPD/>", 6});
    std::ofstream(m_Directory / "notes.txt") << "kept";
    std::filesystem::create_directory(m_Directory / "folder.mp4");
    EXPECT_EQ(Read("000-master.m3u8"), Playlist);
    EXPECT_EQ(Read("001-video-header-v0.mp4"), std::string("\0\1", 2));
    Writer.DeletePrevious();
    EXPECT_EQ(Names(), (std::vector<std::string>{"folder.mp4", "notes.txt"}));
    EXPECT_EQ(Writer.Write({"key", {}, "k", 1}).filename(), "003-key");
}
