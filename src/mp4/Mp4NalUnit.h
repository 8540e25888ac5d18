// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

// NAL units of H.264 and HEVC access units as encoders deliver them (Annex B
// byte streams) and as fragments carry them (4-byte length prefixes).
namespace Mp4
{
using NalUnitSpan = std::span<std::uint8_t const>;

// The payloads of the NAL units of an Annex B buffer, start codes removed.
// Bytes before the first start code are not part of any NAL unit.
std::vector<NalUnitSpan> SplitAnnexB(std::span<std::uint8_t const> Buffer);

// The NAL units with each payload preceded by its length as 4 bytes big-endian.
std::vector<std::uint8_t> ToLengthPrefixed(std::vector<NalUnitSpan> const& NalUnits);

// nal_unit_type from the first header byte(s); empty units give 0.
std::uint8_t GetH264NalUnitType(NalUnitSpan NalUnit) noexcept;
std::uint8_t GetHevcNalUnitType(NalUnitSpan NalUnit) noexcept;

// "avc1.PPCCLL" from an H.264 sequence parameter set of at least 4 bytes.
std::string FormatAvcCodecsString(NalUnitSpan SequenceParameterSet);
// The codecs string of the first sequence parameter set in a raw encoded
// H.264 sample, for callers that have no sink.
std::string GetH264CodecsStringFromSample(std::span<std::uint8_t const> Sample);

// The RBSP of a NAL unit: emulation prevention bytes (00 00 03) removed.
std::vector<std::uint8_t> ExtractRbsp(NalUnitSpan NalUnit);
} // namespace Mp4
