// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <span>
#include <vector>

#include "mp4/Mp4FragmentBoxes.h"
#include "mp4/Mp4ProtectionSettings.h"

namespace Mp4
{
enum class VideoCodec
{
    H264,
    Hevc,
    Av1,
    Vp9,
};

// A byte range of a sample that a scheme encrypts.
struct ProtectedRange
{
    std::size_t m_Offset = 0;
    std::size_t m_Length = 0;
};

// Which bytes of a video sample are protected, and how senc describes them.
class SubsampleLayout
{
public:
    // The protected ranges of a sample of 4-byte length-prefixed NAL units, in
    // sample order. Slices keep a clear leader (NAL header and the start of the
    // slice header); other NAL units stay clear. HEVC under cenc keeps a
    // clear head of 128 bytes, longer where the NAL units before the first
    // slice reach further, and protects whole blocks up to the end. A length
    // that runs past the sample fails.
    // A VP9 sample (one frame) keeps its uncompressed header clear, which
    // readers parse without the key, and protects whole blocks from the
    // compressed header on, under either scheme; the bytes that do not fill
    // a block stay clear in front of them. FrameWidth is the width of the
    // track's pictures, which inter frames take from their references
    // rather than say (Vp9FrameHeader; 0: not known); a header that cannot
    // be read fails.
    // An AV1 sample protects its tiles (Av1Tiles, from Av1TileLocator) and
    // nothing else: cbcs each tile whole, cenc the whole blocks at the end
    // of each tile.
    static std::vector<ProtectedRange> FindProtectedRanges(VideoCodec Codec, ProtectionScheme Scheme, std::span<std::uint8_t const> Sample,
                                                           std::uint32_t FrameWidth = 0, std::span<ProtectedRange const> Av1Tiles = {});
    // Consecutive (clear, protected) pairs that together cover every byte of
    // the sample; a clear run longer than 16 bits can count is split.
    static std::vector<SencBox::Subsample> MakeSubsamples(std::vector<ProtectedRange> const& Ranges, std::size_t SampleSize);
};
} // namespace Mp4
