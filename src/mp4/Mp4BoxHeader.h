// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace Mp4
{
// The header of one box, read where the box begins in bytes that may still
// be arriving (a segment on its way to a client).
struct BoxHeader
{
    // The whole box, header included; 0 means "to the end of the file".
    std::uint64_t Size = 0;
    // 8, or 16 with a 64-bit size.
    std::size_t HeaderSize = 0;
    std::uint8_t Type[4] = {};

    bool Is(char const (&Name)[5]) const noexcept;
    // A size that cannot be a box of its own: shorter than its header (or 0).
    bool IsBounded() const noexcept { return Size >= HeaderSize; }
};

// The header at the start of Bytes; none while not all of it is there.
std::optional<BoxHeader> ReadBoxHeader(std::span<std::uint8_t const> Bytes) noexcept;

// An unsigned number of up to 8 bytes, most significant first.
std::uint64_t ReadBigEndian(std::span<std::uint8_t const> Bytes) noexcept;
} // namespace Mp4
