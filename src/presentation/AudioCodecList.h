// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstddef>
#include <optional>
#include <string_view>
#include <vector>

#include "media/AudioVariant.h"

namespace Application
{
// "audio" of a manifest: the codecs of the asset's audio rows, the same
// content in each, for players to choose among. The names are those of
// AudioCodecName; FLAC has an option of its own ("flac", HLS only).
class AudioCodecList
{
public:
    // A player is offered at most this many: every row more is a group of
    // variants in the master playlist.
    static constexpr std::size_t MaximalCodecs = 3;

    // "aac,ec3": 1 to MaximalCodecs different names of aac, opus, ac3 and ec3,
    // comma-separated, in the order the rows are to be listed; anything else
    // is refused as the "audio" row says (E_INVALIDARG), naming the fault.
    static std::vector<AudioSubtype> Parse(std::string_view Text);
    // The codec of one of those names.
    static std::optional<AudioSubtype> Named(std::string_view Name) noexcept;
};
} // namespace Application
