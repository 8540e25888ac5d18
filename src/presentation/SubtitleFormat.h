// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <optional>
#include <string_view>

namespace Application
{
// How a generated subtitle track is carried ("subsformat").
enum class SubtitleFormat
{
    Vtt,  // segmented WebVTT files (HLS)
    Stpp, // IMSC1 text-profile documents in fragmented MP4
    Wvtt, // WebVTT cues in fragmented MP4
};

// "vtt", "stpp", "wvtt".
constexpr std::string_view SubtitleFormatName(SubtitleFormat Format) noexcept
{
    switch(Format)
    {
    case SubtitleFormat::Vtt:
        return "vtt";
    case SubtitleFormat::Stpp:
        return "stpp";
    case SubtitleFormat::Wvtt:
        return "wvtt";
    }
    return "vtt";
}

constexpr std::optional<SubtitleFormat> SubtitleFormatNamed(std::string_view Name) noexcept
{
    for(auto Format : {SubtitleFormat::Vtt, SubtitleFormat::Stpp, SubtitleFormat::Wvtt})
        if(SubtitleFormatName(Format) == Name)
            return Format;
    return std::nullopt;
}
} // namespace Application
