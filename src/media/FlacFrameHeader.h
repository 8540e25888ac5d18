// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <vector>

namespace Application
{
// The frame header of a FLAC frame with fixed block size, which carries the
// frame's number. An encoder numbers the frames of each run from 0, but the
// frames of consecutive segments are played as one stream, so each run's
// frames are renumbered to their place on the absolute block grid.
class FlacFrameHeader
{
public:
    // The highest number a frame of a fixed-block-size stream can carry.
    static constexpr std::uint64_t MaximalFrameNumber = 0x7FFFFFFF;

    // The number of the frame in Frame (a whole frame, header to CRC-16).
    static std::uint64_t FrameNumber(std::vector<std::uint8_t> const& Frame);
    // Gives the frame in Frame the number Number: the header is rewritten
    // (its coded number may change length) and both checksums are renewed.
    static void Renumber(std::vector<std::uint8_t>& Frame, std::uint64_t Number);

    static std::uint8_t Crc8(std::uint8_t const* Data, std::size_t Size) noexcept;
    static std::uint16_t Crc16(std::uint8_t const* Data, std::size_t Size) noexcept;
};
} // namespace Application
