// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "media/AudioVariant.h"

namespace Application
{
// "lang" and "describes" of a manifest: the languages of the asset's audio,
// a rendition each (in each codec of "audio"), and the audio description of
// one of them. Each rendition has a voice (AudioVoice): slot k for the k-th
// language, the description the slot after the last language (slot 0
// without "lang", beside the programme's own English row, which stays as
// it is).
class AudioLanguageList
{
public:
    static constexpr std::size_t MaximalLanguages = 8;

    // "en,fr,de": 1 to MaximalLanguages well-formed BCP 47 tags, each
    // different (case aside), in the order the renditions are listed;
    // anything else is refused (E_INVALIDARG) naming the fault.
    static std::vector<std::string> Parse(std::string_view Text);

    // Rows (one per codec, as "audio" made them) as the renditions of
    // Languages (empty: the programme's row kept) and the description of
    // Describes, which must be one of Languages ("en" without them), each
    // codec's renditions together.
    static std::vector<AudioVariant> Renditions(std::vector<AudioVariant> const& Rows, std::vector<std::string> const& Languages,
                                                std::optional<std::string_view> Describes);
};
} // namespace Application
