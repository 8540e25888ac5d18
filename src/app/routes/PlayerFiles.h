// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/SharedBytes.h"

namespace Application
{
// The players and the chart library the home page loads, read once from the
// folder the build fills from pinned npm packages: every regular file at its
// top level, each with its content type and a strong entity tag. Nothing is
// read again while the server runs, so an answer never waits for the disk.
class PlayerFiles
{
public:
    struct File
    {
        std::string Name;
        std::string ContentType;
        SharedBytes Bytes;
        std::string EntityTag;
    };

    // Bounds of what is read: the players together are about 2.5 MB.
    static constexpr std::size_t MaximalFileCount = 64;
    static constexpr std::uintmax_t MaximalFileBytes = 16u << 20;
    static constexpr std::uintmax_t MaximalTotalBytes = 64u << 20;

    // "<ModuleDirectory>/player" beside a program in the build folder, else
    // "<ModuleDirectory>/../share/quorvel/player" of the installed package;
    // nothing when neither is a folder.
    static std::optional<std::filesystem::path> FindFolder(std::filesystem::path const& ModuleDirectory);
    // Reads every file of Folder, in name order. Raises for a folder that
    // cannot be read, a file name that is not a plain URL segment (letters,
    // digits, ".", "-", "_"), and beyond the bounds above.
    static PlayerFiles Read(std::filesystem::path const& Folder);
    // By the name's extension: JavaScript, CSS, text, JSON; bytes otherwise.
    static std::string ContentTypeOf(std::string_view Name);

    std::vector<File> const& GetFiles() const { return m_Files; }

private:
    std::vector<File> m_Files;
};
} // namespace Application
