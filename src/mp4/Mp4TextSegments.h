// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "mp4/Mp4TextCue.h"
#include "mp4/Mp4TextTrackSettings.h"

// Text tracks in fragmented MP4: the initialisation segment and the media
// segments of one 'subt' track. Text is never encrypted, and the bytes depend
// on the arguments alone (no clock), so the same request gets the same bytes.
// Arguments outside the limits below are refused with HResultError.
namespace Mp4
{
// The longest segment and the most cues one wvtt segment takes, so that a
// caller's mistake cannot make a segment of unbounded size.
constexpr std::size_t MaximalTextDocumentBytes = 4u << 20;
constexpr std::size_t MaximalTextCuesPerSegment = 4096;

// ftyp + moov with one 'subt' track ('sthd' media header), sample entry
// 'stpp' (namespace "http://www.w3.org/ns/ttml") or 'wvtt' ('vttC' "WEBVTT",
// 'vlab'), mvex/trex.
std::vector<std::uint8_t> WriteTextInitializationSegment(TextTrackSettings const& Settings);

// One media segment (moof: mfhd, traf: tfhd, tfdt=Start, trun; mdat)
// covering [Start, End) in Timescale units: one sample of duration End-Start
// holding Document (a whole TTML/IMSC1 document, UTF-8).
std::vector<std::uint8_t> WriteStppSegment(TextTrackSettings const& Settings, std::uint32_t SequenceNumber, std::int64_t Start, std::int64_t End,
                                           std::string_view Document);

// One wvtt media segment covering [Start, End): the interval is cut at every
// cue start and end; each piece is one sample: 'vttc' boxes (payl, sttg when
// Settings, iden when Identifier) for the cues active in it, or one 'vtte'
// when none is. Cues may start before Start or end after End: they are
// clipped to the segment.
std::vector<std::uint8_t> WriteWvttSegment(TextTrackSettings const& Settings, std::uint32_t SequenceNumber, std::int64_t Start, std::int64_t End,
                                           std::vector<TextCue> const& Cues);

// The RFC 6381 CODECS text: "stpp.ttml.im1t" or "wvtt".
std::string_view TextCodecs(TextSampleFormat Format);
} // namespace Mp4
