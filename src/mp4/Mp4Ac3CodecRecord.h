// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <span>
#include <string>

#include "mp4/Mp4StreamFormat.h"

namespace Mp4
{
struct StsdBox;

// The ac-3 sample entry of an AC-3 stream (ETSI TS 102 366 F.3, F.4): the
// bit stream information of its first sync frame, which every frame of the
// stream repeats.
class Ac3CodecRecord
{
public:
    // Reads syncinfo and the start of bsi (ATSC A/52 5.3), with every field
    // checked: the sync word, a rate and frame size code of the tables, a
    // bsid of AC-3 (up to 8).
    void ParseFrame(std::span<std::uint8_t const> Frame);
    void InitializeSampleEntry(StsdBox& Stsd, AudioFormat const& Format) const;
    static std::string GetCodecsString() { return "ac-3"; }

    bool m_Parsed = false;
    std::uint8_t m_Fscod = 0;
    std::uint8_t m_Frmsizecod = 0;
    std::uint8_t m_Bsid = 0;
    std::uint8_t m_Bsmod = 0;
    std::uint8_t m_Acmod = 0;
    std::uint8_t m_Lfeon = 0;
};
} // namespace Mp4
