// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "mp4/Mp4StreamFormat.h"
#include "mp4/Mp4StructureBoxes.h"

namespace Mp4
{
enum class TrackKind
{
    Video,
    Audio,
    Text, // subtitles: 'subt' handler, 'sthd' media header
};

// The parts of an initialisation segment that every track has, whatever its
// codec: track header, media tree around the codec's sample description, and
// the track extends defaults.
class TrackBuilder
{
public:
    // Fills Trak (tkhd and the media tree around Stsd) and Trex, and marks
    // both present. Width and height are 0 for audio and text.
    static void Build(std::uint32_t TrackId, TrackKind Kind, std::uint32_t Timescale, std::uint32_t Width, std::uint32_t Height, StsdBox Stsd, TrakBox& Trak, TrexBox& Trex);
    // Marks the entry present with the frame size and the compressor name.
    static void InitializeVisualSampleEntry(VisualSampleEntryBox& Entry, VideoFormat const& Format, char const* CompressorName);
    // Marks the entry present with channels, 16-bit samples and the rate.
    static void InitializeAudioSampleEntry(AudioSampleEntryBox& Entry, AudioFormat const& Format);

private:
    static void InitializeMdiaBox(MdiaBox& Mdia, TrackKind Kind, std::uint32_t Timescale, StsdBox Stsd);
};
} // namespace Mp4
