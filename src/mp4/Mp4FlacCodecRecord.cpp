// SPDX-License-Identifier: GPL-2.0-or-later
#include "mp4/Mp4FlacCodecRecord.h"

#include <cstring>

#include "base/Check.h"
#include "mp4/Mp4HexText.h"
#include "mp4/Mp4StructureBoxes.h"
#include "mp4/Mp4TrackBuilder.h"

namespace Mp4
{
namespace
{
constexpr char StreamMarker[4] = {'f', 'L', 'a', 'C'};
constexpr std::size_t MetadataBlockHeaderSize = 4; // last flag and type, 24-bit length
constexpr std::uint8_t StreamInfoBlockType = 0;
} // namespace

void FlacCodecRecord::ParseStreamHeader(std::span<std::uint8_t const> Header)
{
    CHECK_LINE(Header.size() >= sizeof StreamMarker + MetadataBlockHeaderSize);
    CHECK_LINE(std::memcmp(Header.data(), StreamMarker, sizeof StreamMarker) == 0);
    auto const BlockHeader = Header.subspan(sizeof StreamMarker, MetadataBlockHeaderSize);
    CHECK_LINE((BlockHeader[0] & 0x7F) == StreamInfoBlockType);
    std::size_t const BlockLength = static_cast<std::size_t>(BlockHeader[1]) << 16 | static_cast<std::size_t>(BlockHeader[2]) << 8 | BlockHeader[3];
    auto const Block = Header.subspan(sizeof StreamMarker + MetadataBlockHeaderSize);
    CHECK_LINE(BlockLength <= Block.size());
    m_Header.assign(Block.begin(), Block.begin() + static_cast<std::ptrdiff_t>(BlockLength));
    TRACE("m_Header %s\n", FormatHexText(m_Header).c_str());
}

void FlacCodecRecord::InitializeSampleEntry(StsdBox& Stsd, AudioFormat const& Format) const
{
    CHECK_LINE(!m_Header.empty());
    FlacBox& Entry = Stsd.m_FlacBox;
    TrackBuilder::InitializeAudioSampleEntry(Entry, Format);
    Entry.m_DflaBox.SetPresent();
    Entry.m_DflaBox.m_StreamInfo = m_Header;
}
} // namespace Mp4
