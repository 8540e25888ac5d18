// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "mp4/Mp4StreamFormat.h"

namespace Mp4
{
struct StsdBox;

// The AV1 sequence header of a stream, kept from its first sample (a key
// frame's temporal unit, which carries it). av1C and the codecs string both
// come from it.
class Av1CodecRecord
{
public:
    // Keeps the first sequence header OBU of Sample; malformed OBUs fail.
    void CollectSequenceHeader(std::span<std::uint8_t const> Sample);
    // Makes the av01 entry with its av1C present; needs a sequence header.
    void InitializeSampleEntry(StsdBox& Stsd, VideoFormat const& Format) const;
    // Empty unless a readable sequence header is known.
    std::string GetCodecsString() const;

    std::vector<std::uint8_t> m_SequenceHeader; // the whole OBU
};
} // namespace Mp4
