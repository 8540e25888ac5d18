// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <string>

namespace Mp4
{
// How the samples of a text track carry their text: one TTML document per
// sample ('stpp', IMSC1 text profile) or WebVTT cue boxes ('wvtt').
enum class TextSampleFormat
{
    Stpp,
    Wvtt,
};

// What the initialisation segment and every media segment of one text track
// share.
struct TextTrackSettings
{
    TextSampleFormat Format = TextSampleFormat::Wvtt;
    std::uint32_t TrackId = 1;
    std::uint32_t Timescale = 1000; // media time units per second
    // BCP 47 tag. mdhd gets the ISO 639-2/T code when there is one, else
    // "und"; an 'elng' box carries the full tag when it differs.
    std::string Language = "und";
};
} // namespace Mp4
