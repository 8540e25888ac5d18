// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "mp4/Mp4Av1SequenceHeader.h"
#include "mp4/Mp4SubsampleLayout.h"

namespace Mp4
{
// Where the coded tiles (decode_tile) of an AV1 stream's frames lie in its
// samples, which is what encryption protects: everything else (OBU
// headers, frame headers, tile group headers and tile sizes) stays clear.
//
// An encoder writes a frame as one frame OBU, its header and its tiles
// together, and nothing marks where the header ends; only reading the
// header to its end finds the tiles. How many bits it has depends on the
// sequence header and on the state of the reference frames (their sizes,
// order hints, global motion and segmentation parameters), so the locator
// follows a track's samples in order from a key frame, the way a decoder
// reads them, keeping the state that the header lengths depend on. Writing
// each frame's header and tiles apart instead would need the same reading,
// and would change the bytes the track carries.
class Av1TileLocator
{
public:
    // The tiles of every frame of a sample (the OBUs of one temporal unit,
    // without temporal delimiters), in sample order. A sample that needs a
    // sequence header not seen yet, a header or tile group that does not
    // parse, or tile sizes past their OBU fail (E_INVALIDARG).
    std::vector<ProtectedRange> FindTiles(std::span<std::uint8_t const> Sample);

    static constexpr unsigned ReferenceSlots = 8;
    static constexpr unsigned ReferencesPerFrame = 7;
    static constexpr unsigned MaximalSegments = 8;
    static constexpr unsigned SegmentFeatures = 8;

    using GlobalMotion = std::array<std::array<std::int32_t, 6>, ReferencesPerFrame + 1>;
    struct Segmentation
    {
        std::array<std::array<bool, SegmentFeatures>, MaximalSegments> m_Enabled{};
        std::array<std::array<std::int32_t, SegmentFeatures>, MaximalSegments> m_Data{};
    };
    // What a reference slot keeps of the frame stored in it.
    struct Reference
    {
        bool m_Valid = false;
        std::uint8_t m_FrameType = 0;
        std::uint32_t m_OrderHint = 0;
        std::uint32_t m_UpscaledWidth = 0;
        std::uint32_t m_FrameWidth = 0;
        std::uint32_t m_FrameHeight = 0;
        std::uint32_t m_RenderWidth = 0;
        std::uint32_t m_RenderHeight = 0;
        GlobalMotion m_GlobalMotion{};
        Segmentation m_Segmentation;
    };
    // How the current frame's tiles are laid out, as its tile groups need it.
    struct TileLayout
    {
        unsigned m_Columns = 1;
        unsigned m_Rows = 1;
        unsigned m_ColumnsLog2 = 0;
        unsigned m_RowsLog2 = 0;
        unsigned m_SizeBytes = 4;
    };

private:
    // Reads a frame header OBU's payload, or the header part of a frame
    // OBU's, and returns its length in bits.
    std::size_t ReadFrameHeader(std::span<std::uint8_t const> Payload, std::uint8_t TemporalId, std::uint8_t SpatialId);
    void ReadTileGroup(std::span<std::uint8_t const> Sample, std::size_t Offset, std::size_t Size, std::vector<ProtectedRange>& Tiles);

    std::optional<Av1SequenceHeader> m_Sequence;
    std::array<Reference, ReferenceSlots> m_References{};
    TileLayout m_Layout;
    bool m_SeenFrameHeader = false;
};
} // namespace Mp4
