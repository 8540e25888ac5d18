// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <string>

namespace Mp4
{
// One WebVTT cue.
struct TextCue
{
    std::int64_t Start = 0, End = 0; // in the track's Timescale units, on its decode timeline
    std::string Text;                // payload (may contain '\n')
    std::string Settings;            // WebVTT cue settings, e.g. "line:10%" (empty: none)
    std::string Identifier;          // optional cue id (iden box)
};
} // namespace Mp4
