// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace Mp4
{
struct Av1cBox;

// What an AV1 sequence header says of the stream, as far as av1C, the
// codecs string ("av01.0.08M.08") and the reading of frame headers
// (Av1TileLocator) need it, read from the sequence header OBU itself so that
// all of them always agree with the bitstream.
struct Av1SequenceHeader
{
    // Sentinel of the screen content and integer motion vector choices: each frame says.
    static constexpr std::uint8_t SelectedPerFrame = 2;

    struct OperatingPoint
    {
        std::uint16_t m_Idc = 0;
        bool m_DecoderModelPresent = false;
    };

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

    // What frame headers depend on.
    bool m_ReducedStillPictureHeader = false;
    bool m_DecoderModelInfoPresent = false;
    bool m_EqualPictureInterval = false;
    std::uint8_t m_BufferRemovalTimeLength = 0;
    std::uint8_t m_FramePresentationTimeLength = 0;
    std::vector<OperatingPoint> m_OperatingPoints;
    std::uint8_t m_FrameWidthBits = 0;
    std::uint8_t m_FrameHeightBits = 0;
    bool m_FrameIdNumbersPresent = false;
    std::uint8_t m_DeltaFrameIdLength = 0;
    std::uint8_t m_AdditionalFrameIdLength = 0;
    bool m_Use128x128Superblock = false;
    bool m_EnableWarpedMotion = false;
    bool m_EnableOrderHint = false;
    bool m_EnableRefFrameMvs = false;
    std::uint8_t m_SeqForceScreenContentTools = SelectedPerFrame;
    std::uint8_t m_SeqForceIntegerMv = SelectedPerFrame;
    std::uint8_t m_OrderHintBits = 0;
    bool m_EnableSuperres = false;
    bool m_EnableCdef = false;
    bool m_EnableRestoration = false;
    bool m_SeparateUvDeltaQ = false;
    bool m_FilmGrainParamsPresent = false;

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
