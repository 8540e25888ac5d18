// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <span>

namespace Mp4
{
// Reads the bits of a raw byte sequence payload, most significant bit first.
// Reading past the end fails the parse instead of inventing zeros.
class RbspBitReader
{
public:
    explicit RbspBitReader(std::span<std::uint8_t const> Rbsp) noexcept : m_Rbsp(Rbsp) { }

    std::uint32_t ReadBits(unsigned Count);
    bool ReadFlag() { return ReadBits(1) != 0; }
    void SkipBits(std::size_t Count);
    // ue(v): unsigned Exp-Golomb code.
    std::uint32_t ReadUnsignedExpGolomb();
    // Bits read or skipped so far.
    std::size_t GetBitPosition() const noexcept { return m_BitPosition; }

private:
    std::span<std::uint8_t const> m_Rbsp;
    std::size_t m_BitPosition = 0;
};
} // namespace Mp4
