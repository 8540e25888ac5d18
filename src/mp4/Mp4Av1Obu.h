// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace Mp4
{
// The open bitstream units of an AV1 temporal unit as encoders deliver them
// and as MP4 samples hold them: each with a header, an optional extension
// byte and a LEB128 size. An OBU without a size field runs to the end.
struct Av1Obu
{
    static constexpr std::uint8_t SequenceHeaderType = 1;
    static constexpr std::uint8_t TemporalDelimiterType = 2;
    static constexpr std::uint8_t FrameHeaderType = 3;
    static constexpr std::uint8_t TileGroupType = 4;
    static constexpr std::uint8_t MetadataType = 5;
    static constexpr std::uint8_t FrameType = 6;
    static constexpr std::uint8_t PaddingType = 15;

    std::uint8_t m_Type = 0;
    std::span<std::uint8_t const> m_Whole;   // header, size and payload
    std::span<std::uint8_t const> m_Payload; // what the size counts

    // Splits Data into its OBUs; a forbidden bit, a size or LEB128 that runs
    // past the end fails (E_INVALIDARG).
    static std::vector<Av1Obu> Split(std::span<std::uint8_t const> Data);
    // Data without its temporal delimiters and padding.
    static std::vector<std::uint8_t> WithoutDelimiters(std::span<std::uint8_t const> Data);
};
} // namespace Mp4
