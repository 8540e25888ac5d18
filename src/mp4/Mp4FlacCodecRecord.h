// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <span>
#include <string>
#include <vector>

#include "mp4/Mp4StreamFormat.h"

namespace Mp4
{
struct StsdBox;

// The fLaC sample entry of a FLAC stream: its STREAMINFO block, taken from the
// "fLaC" stream header the encoder writes ahead of the first frame.
class FlacCodecRecord
{
public:
    // Reads the first metadata block, which must be STREAMINFO, with every
    // length checked against the header's bytes.
    void ParseStreamHeader(std::span<std::uint8_t const> Header);
    void InitializeSampleEntry(StsdBox& Stsd, AudioFormat const& Format) const;
    static std::string GetCodecsString() { return "flac"; }

    std::vector<std::uint8_t> m_Header; // STREAMINFO block data
};
} // namespace Mp4
