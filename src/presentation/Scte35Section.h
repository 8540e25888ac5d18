// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace Application
{
// A complete SCTE-35 splice_info_section (table 0xFC, protocol version 0, not
// encrypted, no PTS adjustment, every tier) with its MPEG-2 CRC-32: the
// binary cue that every ad break carriage quotes, from the playlist's
// DATERANGE to the emsg box. Times come in the server's 100-ns units and are
// written on the 90 kHz clock of MPEG-2 systems; a splice time wraps modulo
// 2^33 as a PTS does, a duration that does not fit its field is refused.
class Scte35Section
{
public:
    // splice_insert: the cue-out that leaves the network for a break, or the
    // cue-in that returns to it, at a given time of the program as a whole.
    struct SpliceInsert
    {
        std::uint32_t SpliceEventId = 0;
        bool OutOfNetwork = false;
        std::int64_t SpliceTime = 0;
        // The break's length on the cue-out, with auto-return: a player
        // returns by itself if the cue-in is lost.
        std::optional<std::int64_t> BreakDuration;
        std::uint16_t UniqueProgramId = 0;
        std::uint8_t AvailNumber = 0;
        std::uint8_t AvailsExpected = 0;
    };

    // time_signal with one segmentation descriptor: a provider placement
    // opportunity's start (with its duration) or end.
    struct TimeSignal
    {
        std::int64_t SpliceTime = 0;
        std::uint32_t SegmentationEventId = 0;
        bool Start = true;
        std::optional<std::int64_t> SegmentationDuration;
    };

    static constexpr std::uint8_t TableId = 0xFC;
    static constexpr std::uint8_t SpliceInsertCommand = 0x05;
    static constexpr std::uint8_t TimeSignalCommand = 0x06;
    static constexpr std::uint8_t ProviderPlacementOpportunityStart = 0x34;
    static constexpr std::uint8_t ProviderPlacementOpportunityEnd = 0x35;

    static std::vector<std::uint8_t> WriteSpliceInsert(SpliceInsert const& Value);
    static std::vector<std::uint8_t> WriteTimeSignal(TimeSignal const& Value);

    // MPEG-2 CRC-32 (polynomial 0x04C11DB7, initial value 0xFFFFFFFF, no
    // reflection, no final inversion). Over a whole section including its
    // CRC field the result is 0.
    static std::uint32_t ComputeCrc32(std::span<std::uint8_t const> Bytes) noexcept;
    // A media time in 100-ns units as a 33-bit PTS on the 90 kHz clock.
    static std::uint64_t ToPts(std::int64_t MediaTime) noexcept;

    // "0xFC30...": uppercase hexadecimal as HLS attributes (SCTE35-OUT,
    // SCTE35-IN, SCTE35-CMD) quote a section.
    static std::string FormatHex(std::span<std::uint8_t const> Section);
    // Standard base64, as DASH writes a section in scte35:Binary and
    // players read it from event message data.
    static std::string FormatBase64(std::span<std::uint8_t const> Section);
};
} // namespace Application
