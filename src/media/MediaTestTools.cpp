#include "media/MediaTestTools.h"

#include <cstdio>
#include <fstream>
#include <sys/wait.h>
#include <unistd.h>

namespace MediaTestTools
{
namespace
{
struct Scratch
{
    std::filesystem::path Path;

    Scratch()
    {
        Path = std::filesystem::temp_directory_path() / ("quorvel-media-test-" + std::to_string(getpid()));
        std::filesystem::create_directories(Path);
    }
    ~Scratch()
    {
        std::error_code Ignored;
        std::filesystem::remove_all(Path, Ignored);
    }
};
} // namespace

std::filesystem::path ScratchDirectory()
{
    static Scratch Directory;
    return Directory.Path;
}

void WriteFile(std::filesystem::path const& Path, std::vector<std::uint8_t> const& Data)
{
    std::ofstream Stream(Path, std::ios::binary);
    Stream.write(reinterpret_cast<char const*>(Data.data()), static_cast<std::streamsize>(Data.size()));
}

CommandResult RunCommand(std::string const& Command)
{
    static int Counter = 0;
    std::filesystem::path const ErrorPath = ScratchDirectory() / ("stderr-" + std::to_string(++Counter));
    CommandResult Result;
    FILE* Pipe = popen((Command + " 2>" + ErrorPath.string()).c_str(), "r");
    if(!Pipe)
        return Result;
    std::uint8_t Buffer[65536];
    for(std::size_t Size; (Size = fread(Buffer, 1, sizeof Buffer, Pipe)) > 0;)
        Result.Output.insert(Result.Output.end(), Buffer, Buffer + Size);
    int const Status = pclose(Pipe);
    Result.ExitCode = WIFEXITED(Status) ? WEXITSTATUS(Status) : -1;
    std::ifstream Errors(ErrorPath);
    Result.Errors.assign(std::istreambuf_iterator<char>(Errors), std::istreambuf_iterator<char>());
    return Result;
}

std::string Text(std::vector<std::uint8_t> const& Data)
{
    return std::string(Data.begin(), Data.end());
}

std::vector<int> NalUnitTypes(std::vector<std::uint8_t> const& Data, bool Hevc)
{
    std::vector<int> Types;
    for(std::size_t Index = 0; Index + 3 < Data.size(); ++Index)
        if(Data[Index] == 0 && Data[Index + 1] == 0 && Data[Index + 2] == 1)
        {
            std::uint8_t const Header = Data[Index + 3];
            Types.push_back(Hevc ? (Header >> 1) & 0x3F : Header & 0x1F);
            Index += 3;
        }
    return Types;
}
} // namespace MediaTestTools
