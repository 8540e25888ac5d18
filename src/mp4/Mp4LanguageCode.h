// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace Mp4
{
// The language of a track as the media header carries it: a BCP 47 tag's
// primary language as an ISO 639-2/T code, packed in three 5-bit letters.
class LanguageCode
{
public:
    // BCP 47 allows longer private and extension subtags, but a track
    // language this long is a mistake rather than a language.
    static constexpr std::size_t MaximalTagLength = 64;

    // Refuses (E_INVALIDARG) what is not a tag: empty, too long, characters
    // other than ASCII letters, digits and '-', empty subtags.
    static void CheckTag(std::string_view Tag);
    // The ISO 639-2/T code of the tag's primary language ("en-GB" gives
    // "eng", "sv" gives "swe"), or "und" when ISO 639-2 has none.
    static std::string FromTag(std::string_view Tag);
    // Three lowercase letters as mdhd's 15-bit language field.
    static std::uint16_t Pack(std::string_view Code);
};
} // namespace Mp4
