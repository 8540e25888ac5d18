// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace Mp4
{
// What the uncompressed header of one VP9 frame says, as far as the sample
// entry, the codecs string, the encryption layout and the corrupt fault need
// it. A VP9 sample is a frame as the encoder gives it: this header (bit
// aligned, padded to a whole byte), the compressed header of the size the
// header states, then the tiles, each but the last led by its 4-byte size.
// There are no parameter sets: key frames describe the stream themselves.
struct Vp9FrameHeader
{
    static constexpr std::uint8_t ColorSpaceUnknown = 0;
    static constexpr std::uint8_t ColorSpaceBt601 = 1;
    static constexpr std::uint8_t ColorSpaceRgb = 7;

    // A byte range of the frame.
    struct Range
    {
        std::size_t m_Offset = 0;
        std::size_t m_Length = 0;
    };

    std::uint8_t m_Profile = 0;
    bool m_ShowExistingFrame = false;
    bool m_KeyFrame = false;
    bool m_ShowFrame = false;
    bool m_IntraOnly = false;
    // The colour configuration: read from key frames (and intra-only frames
    // above profile 0); profile 0's intra-only frames imply these values.
    std::uint8_t m_BitDepth = 8;
    std::uint8_t m_ColorSpace = ColorSpaceBt601;
    bool m_FullRange = false;
    std::uint8_t m_SubsamplingX = 1;
    std::uint8_t m_SubsamplingY = 1;
    // The coded size; inter frames that take a reference's size say the
    // width they were given.
    std::uint32_t m_Width = 0;
    std::uint32_t m_Height = 0;
    std::uint8_t m_TileColumnsLog2 = 0;
    std::uint8_t m_TileRowsLog2 = 0;
    // Bytes of the uncompressed header up to its byte alignment, and of the
    // compressed header after it (0 when an earlier frame is shown again).
    std::size_t m_UncompressedHeaderSize = 0;
    std::size_t m_CompressedHeaderSize = 0;

    // Frame: one whole frame. An inter frame may take its size from a
    // reference frame, which the header does not repeat; ReferenceWidth is
    // then the width of the frames it refers to (a track's pictures all
    // have its size). Only the uncompressed header is read: Frame may end
    // after it. A wrong frame marker or sync code, a reserved bit set, a
    // header that runs past the frame, an empty compressed header or a size
    // taken from a reference without ReferenceWidth fails (E_INVALIDARG).
    static Vp9FrameHeader Read(std::span<std::uint8_t const> Frame, std::optional<std::uint32_t> ReferenceWidth = std::nullopt);
    // Whether Data ends with a superframe index, which packs several frames
    // into one sample.
    static bool HasSuperframeIndex(std::span<std::uint8_t const> Data) noexcept;

    // The tiles' coded data in Frame (this header's frame), in order, less
    // the size fields in front of them. A compressed header or tile sizes
    // that run past the frame fail (E_INVALIDARG).
    std::vector<Range> FindTiles(std::span<std::uint8_t const> Frame) const;
};
} // namespace Mp4
