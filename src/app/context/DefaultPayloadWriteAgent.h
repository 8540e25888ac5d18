// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>

#include "base/SharedBytes.h"

namespace Application
{
// Writes copies of response bodies into the Response folder, numbered in the
// order they are written: 000-master.m3u8, 001-video-header-v0.mp4, ... The
// numbering never restarts while the server runs. Segment tasks write from
// worker threads, so the counter is atomic.
class DefaultPayloadWriteAgent
{
public:
    struct Payload
    {
        std::string Name;
        std::string AlternateName; // used instead of Name when not empty
        void const* Data;
        std::size_t Size;
    };

    explicit DefaultPayloadWriteAgent(std::filesystem::path Directory);

    std::filesystem::path const& GetDirectory() const noexcept { return m_Directory; }
    // Creates (or replaces) "%03u-<name>" and writes the data; raises the
    // system error when the file cannot be written. Returns the file's path.
    std::filesystem::path Write(Payload const& Entry);
    // The same for a body kept as pieces (the fragments of a segment), written one after the other.
    std::filesystem::path Write(std::string const& Name, std::span<SharedBytes const> Pieces);
    // Deletes the "*.m3u8", "*.xml" and "*.mp4" files of the folder (files
    // only, no subfolders); a file that cannot be deleted stays.
    void DeletePrevious();

private:
    // "%03u-<name>" with the next number.
    std::filesystem::path NextPath(std::string const& Name);

    std::filesystem::path m_Directory;
    std::atomic<std::uint32_t> m_Counter{0};
};
} // namespace Application
