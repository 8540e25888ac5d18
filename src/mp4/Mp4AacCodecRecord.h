// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <span>
#include <string>

#include "mp4/Mp4StreamFormat.h"

namespace Mp4
{
struct StsdBox;

// The mp4a sample entry and codecs string of an AAC stream, from its format.
class AacCodecRecord
{
public:
    // The AudioSpecificConfig inside the format's user data; too short a blob fails.
    static std::span<std::uint8_t const> GetAudioSpecificConfig(AudioFormat const& Format);
    // The ES descriptor tree that esds carries.
    static std::vector<std::uint8_t> MakeEsDescriptor(AudioFormat const& Format);
    static void InitializeSampleEntry(StsdBox& Stsd, AudioFormat const& Format);
    // "mp4a.40.<audio object type>"
    static std::string GetCodecsString(AudioFormat const& Format);
};
} // namespace Mp4
