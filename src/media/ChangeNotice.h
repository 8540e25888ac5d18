// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <string>

namespace Application
{
// What the pictures of a segment say about the changes of their stream
// (timeline restarts, codec or size switches, keys): the change epoch the
// segment is in, counted from 0 at the start of the timeline, and a short
// line naming it ("DISC 3 KEY 2 HEVC 640x360"), composed by the caller.
// The line is printable ASCII of at most MaximalTextLength characters; an
// empty one draws nothing, the frame code names the epoch all the same.
struct ChangeNotice
{
    static constexpr std::size_t MaximalTextLength = 48;

    std::uint32_t Number = 0;
    std::string Text;

    bool operator==(ChangeNotice const&) const = default;
};
} // namespace Application
