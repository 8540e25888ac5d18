// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <span>
#include <string>

#include "mp4/Mp4StreamFormat.h"

namespace Mp4
{
struct StsdBox;

// The ec-3 sample entry of an E-AC-3 stream of one independent substream
// (ETSI TS 102 366 F.5, F.6): the bit stream information of its first sync
// frame, and the data rate its frame size gives.
class Ec3CodecRecord
{
public:
    // Reads the start of the E-AC-3 bsi (ETSI TS 102 366 E.1.2.2) up to the
    // service type, with every field checked: the sync word, an independent
    // substream 0, a bsid of E-AC-3 (11 to 16), a sample rate of the main
    // table, and no mixing metadata (what the encoders here write), which
    // would stand between the fields read and bsmod.
    void ParseFrame(std::span<std::uint8_t const> Frame);
    void InitializeSampleEntry(StsdBox& Stsd, AudioFormat const& Format) const;
    static std::string GetCodecsString() { return "ec-3"; }

    bool m_Parsed = false;
    std::uint8_t m_Fscod = 0;
    std::uint8_t m_Bsid = 0;
    std::uint8_t m_Bsmod = 0;
    std::uint8_t m_Acmod = 0;
    std::uint8_t m_Lfeon = 0;
    std::uint16_t m_DataRate = 0; // kbit/s
};
} // namespace Mp4
