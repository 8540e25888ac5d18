// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "presentation/SubtitleCue.h"

namespace Application
{
// IMSC1 text-profile documents (TTML) of a subtitle track, one per segment
// (the one sample of an 'stpp' segment). Times are media time, clock-time
// expressions in the track's time base; cues are clipped to the segment, as
// a sample's document only holds while the sample does.
class ImscWriter
{
public:
    static constexpr char const* Profile = "http://www.w3.org/ns/ttml/profile/imsc1/text";

    static std::string Document(std::vector<SubtitleCue> const& Cues, std::int64_t Start, std::int64_t End, std::string const& Language, bool Top);
};
} // namespace Application
