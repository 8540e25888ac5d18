#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

// What the media tests share: files in a scratch directory and the ffmpeg
// tools as the independent judges of what the encoders make.
namespace MediaTestTools
{
// A directory of this test process, removed at exit.
std::filesystem::path ScratchDirectory();
void WriteFile(std::filesystem::path const& Path, std::vector<std::uint8_t> const& Data);

struct CommandResult
{
    int ExitCode = -1;
    std::vector<std::uint8_t> Output;
    std::string Errors;
};
// Runs a shell command and collects its standard output and error.
CommandResult RunCommand(std::string const& Command);
std::string Text(std::vector<std::uint8_t> const& Data);

// The NAL unit types of an Annex B stream, in order (HEVC when Hevc is set).
std::vector<int> NalUnitTypes(std::vector<std::uint8_t> const& Data, bool Hevc);
} // namespace MediaTestTools
