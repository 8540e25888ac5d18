// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <list>
#include <string>
#include <unordered_map>

#include "base/SharedBytes.h"

namespace Application
{
// Media playlists made once for every request that wants the same one at
// the same time, and shared: a live window of a day is megabytes of text,
// and a hundred players reloading it must not make it a hundred times nor
// hold a hundred copies. Each playlist (its key: asset, playlist, options)
// keeps only the text made last, with the time it was made for; a request
// for another time makes it again. The most recently used playlists are
// kept, within a count and a byte limit. Used on the I/O thread only.
class PlaylistCache
{
public:
    static constexpr std::size_t MaximalEntries = 4096;
    static constexpr std::size_t MaximalBytes = std::size_t{64} << 20;

    struct Text
    {
        SharedBytes Bytes;
        std::string EntityTag; // of the bytes, when asked for
    };

    // The text of Key as of Time, made by Make unless kept; with Tagged,
    // its entity tag too (made once with it).
    Text Get(std::string const& Key, std::int64_t Time, bool Tagged, std::function<std::string()> const& Make);

private:
    struct Entry
    {
        std::string Key;
        std::int64_t Time;
        Text Made;
    };
    void Remove(std::list<Entry>::iterator Position);

    std::list<Entry> m_Recent; // most recently used first
    std::unordered_map<std::string, std::list<Entry>::iterator> m_Entries;
    std::size_t m_Bytes = 0;
};
} // namespace Application
