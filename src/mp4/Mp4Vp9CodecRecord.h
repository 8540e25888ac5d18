// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "mp4/Mp4StreamFormat.h"
#include "mp4/Mp4Vp9FrameHeader.h"

namespace Mp4
{
struct StsdBox;
struct VpccBox;

// A VP9 stream as its first key frame describes it: vpcC and the codecs
// string ("vp09.00.31.08.00.01.01.06.00") both come from that frame's
// uncompressed header, and the level from its size at the track's rate.
class Vp9CodecRecord
{
public:
    // Keeps the header of Sample, a key frame, and Format's rate; a sample
    // that is no key frame, or not a readable one, fails (E_INVALIDARG).
    void CollectKeyFrame(std::span<std::uint8_t const> Sample, VideoFormat const& Format);
    // Makes the vp09 entry with its vpcC present; needs a key frame.
    void InitializeSampleEntry(StsdBox& Stsd, VideoFormat const& Format) const;
    // Empty until a key frame is known.
    std::string GetCodecsString() const;
    void FillConfiguration(VpccBox& Box) const;

    // The lowest level (ten times it: 31 for 3.1) whose picture size,
    // picture breadth and luma sample rate hold pictures of this size at
    // this rate; past the highest, the highest.
    static std::uint8_t GetLevel(std::uint32_t Width, std::uint32_t Height, std::uint32_t RateNumerator, std::uint32_t RateDenominator);

    std::optional<Vp9FrameHeader> m_KeyFrame;
    std::uint32_t m_RateNumerator = 0;
    std::uint32_t m_RateDenominator = 1;
};
} // namespace Mp4
