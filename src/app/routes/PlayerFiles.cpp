// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/routes/PlayerFiles.h"

#include <algorithm>
#include <array>
#include <fstream>
#include <iterator>
#include <utility>

#include "app/answers/EntityTagOf.h"
#include "base/Check.h"
#include "base/StringFormat.h"

namespace Application
{
namespace
{
bool IsPlainName(std::string_view Name)
{
    if(Name.empty() || Name.front() == '.')
        return false;
    return std::all_of(Name.begin(), Name.end(), [](char Character) {
        return (Character >= 'a' && Character <= 'z') || (Character >= 'A' && Character <= 'Z') || (Character >= '0' && Character <= '9') || Character == '.' ||
               Character == '-' || Character == '_';
    });
}

// Raises a failure of this source line with the message.
#define REQUIRE(Condition, Message)                                                                        \
    do                                                                                                     \
    {                                                                                                      \
        if(!(Condition))                                                                                   \
            ::ThrowCheckFailure(FailureCodeFromLine(__LINE__), TRACE_CONTEXT(), #Condition, (Message));   \
    } while(false)

std::vector<std::uint8_t> ReadWhole(std::filesystem::path const& Path, std::uintmax_t Size)
{
    std::ifstream Stream(Path, std::ios::binary);
    REQUIRE(Stream.good(), StringFormat("Cannot read %s", Path.c_str()));
    std::vector<std::uint8_t> Bytes(static_cast<std::size_t>(Size));
    Stream.read(reinterpret_cast<char*>(Bytes.data()), static_cast<std::streamsize>(Bytes.size()));
    REQUIRE(Stream.gcount() == static_cast<std::streamsize>(Bytes.size()), StringFormat("Cannot read %s", Path.c_str()));
    return Bytes;
}
} // namespace

std::optional<std::filesystem::path> PlayerFiles::FindFolder(std::filesystem::path const& ModuleDirectory)
{
    std::error_code Error;
    for(auto const& Candidate : {ModuleDirectory / "player", ModuleDirectory / ".." / "share" / "quorvel" / "player"})
        if(std::filesystem::is_directory(Candidate, Error))
            return Candidate.lexically_normal();
    return std::nullopt;
}

PlayerFiles PlayerFiles::Read(std::filesystem::path const& Folder)
{
    std::vector<std::filesystem::path> Paths;
    for(auto const& Entry : std::filesystem::directory_iterator(Folder))
        if(Entry.is_regular_file())
            Paths.push_back(Entry.path());
    std::sort(Paths.begin(), Paths.end());
    REQUIRE(Paths.size() <= MaximalFileCount, StringFormat("%s holds %zu files, more than the %zu read", Folder.c_str(), Paths.size(), MaximalFileCount));
    PlayerFiles Files;
    std::uintmax_t Total = 0;
    for(auto const& Path : Paths)
    {
        auto const Name = Path.filename().string();
        REQUIRE(IsPlainName(Name), StringFormat("%s: the name is not a plain URL segment", Path.c_str()));
        auto const Size = std::filesystem::file_size(Path);
        REQUIRE(Size <= MaximalFileBytes, StringFormat("%s is larger than %ju bytes", Path.c_str(), MaximalFileBytes));
        Total += Size;
        REQUIRE(Total <= MaximalTotalBytes, StringFormat("%s: the files are larger than %ju bytes together", Folder.c_str(), MaximalTotalBytes));
        auto Bytes = std::make_shared<std::vector<std::uint8_t> const>(ReadWhole(Path, Size));
        auto Tag = EntityTagOf(std::string_view(reinterpret_cast<char const*>(Bytes->data()), Bytes->size()));
        Files.m_Files.push_back({Name, ContentTypeOf(Name), std::move(Bytes), std::move(Tag)});
    }
    return Files;
}

std::string PlayerFiles::ContentTypeOf(std::string_view Name)
{
    static constexpr std::array<std::pair<std::string_view, std::string_view>, 6> Types{{
        {".js", "text/javascript; charset=utf-8"},
        {".css", "text/css; charset=utf-8"},
        {".txt", "text/plain; charset=utf-8"},
        {".md", "text/plain; charset=utf-8"},
        {".json", "application/json; charset=utf-8"},
        {".map", "application/json; charset=utf-8"},
    }};
    for(auto const& [Extension, Type] : Types)
        if(Name.size() > Extension.size() && Name.ends_with(Extension))
            return std::string(Type);
    return "application/octet-stream";
}
} // namespace Application
