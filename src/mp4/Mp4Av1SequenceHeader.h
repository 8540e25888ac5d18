// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace Mp4
{
struct Av1cBox;

// What an AV1 sequence header says of the stream, as far as av1C and the
// codecs string ("av01.0.08M.08") need it, read from the sequence header
// OBU itself so that both always agree with the bitstream.
struct Av1SequenceHeader
{
    std::uint8_t m_SeqProfile = 0;
    std::uint8_t m_SeqLevelIdx0 = 0;
    std::uint8_t m_SeqTier0 = 0;
    std::uint8_t m_BitDepth = 8;
    bool m_Monochrome = false;
    std::uint8_t m_ChromaSubsamplingX = 1;
    std::uint8_t m_ChromaSubsamplingY = 1;
    std::uint8_t m_ChromaSamplePosition = 0;
    // Unspecified (2) unless the header describes the colours.
    std::uint8_t m_ColorPrimaries = 2;
    std::uint8_t m_TransferCharacteristics = 2;
    std::uint8_t m_MatrixCoefficients = 2;
    bool m_FullRange = false;
    std::uint32_t m_MaxFrameWidth = 0;
    std::uint32_t m_MaxFrameHeight = 0;

    // Obu: one whole sequence header OBU (header, size, payload). A header
    // of another type or one that ends early fails (E_INVALIDARG).
    static Av1SequenceHeader Read(std::span<std::uint8_t const> Obu);
    void FillConfiguration(Av1cBox& Box) const;
    // The short form, with the colour fields appended where they differ
    // from the defaults the short form implies (4:2:0 with unknown sample
    // position, BT.709 primaries, transfer and matrix, limited range).
    std::string GetCodecsString() const;
};
} // namespace Mp4
