// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace Mp4
{
// Damages the media of a fragmented MP4 segment in place, so that decoders
// meet broken samples while every box still reads as before: only bytes
// inside the payload of top-level 'mdat' boxes change. With
// LengthPrefixedUnits (video: NAL units behind 4-byte lengths) the lengths
// stay intact and bytes in the second half of every unit flip, so a decoder
// still finds each unit and decodes damaged pictures rather than dropping
// the sample. Video samples of AV1 OBUs keep every OBU header and size and
// the sequence header whole: bytes flip in the second half of the frame
// and tile group OBUs' payloads. VP9 frames keep their headers and tile
// sizes: bytes flip in the second half of every tile. Otherwise (audio
// frames) bytes are flipped from the payload's third byte on. Every
// DamageStride-th byte is inverted. Returns how many.
std::size_t DamageMediaData(std::span<std::uint8_t> Segment, bool LengthPrefixedUnits);

constexpr std::size_t DamageStride = 24;
} // namespace Mp4
