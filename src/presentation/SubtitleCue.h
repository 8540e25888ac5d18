// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <string>

namespace Application
{
// One cue of a generated subtitle track, in media time (100-ns units from
// the track's segment 0).
struct SubtitleCue
{
    std::int64_t Start = 0;
    std::int64_t End = 0;
    std::string Text; // lines separated by '\n'
};
} // namespace Application
