// SPDX-License-Identifier: GPL-2.0-or-later
#include "mp4/Mp4OpusCodecRecord.h"

#include <cstring>

#include "base/Check.h"
#include "mp4/Mp4StructureBoxes.h"
#include "mp4/Mp4TrackBuilder.h"

namespace Mp4
{
namespace
{
constexpr char Magic[8] = {'O', 'p', 'u', 's', 'H', 'e', 'a', 'd'};
constexpr std::size_t HeaderSize = 19; // without a channel mapping table
constexpr std::uint8_t VorbisFamily = 1;
constexpr std::uint8_t MaximalVorbisChannels = 8;
constexpr std::uint8_t Version = 1;
constexpr std::uint32_t OpusRate = 48000;

std::uint32_t ReadLittleEndian(std::span<std::uint8_t const> Bytes)
{
    std::uint32_t Value = 0;
    for(std::size_t Index = Bytes.size(); Index > 0; --Index)
        Value = Value << 8 | Bytes[Index - 1];
    return Value;
}
} // namespace

void OpusCodecRecord::ParseIdentificationHeader(std::span<std::uint8_t const> Header)
{
    CHECK_LINE(Header.size() >= HeaderSize);
    CHECK_LINE(std::memcmp(Header.data(), Magic, sizeof Magic) == 0);
    CHECK_LINE(Header[8] == Version);
    m_ChannelCount = Header[9];
    m_PreSkip = static_cast<std::uint16_t>(ReadLittleEndian(Header.subspan(10, 2)));
    m_InputSampleRate = ReadLittleEndian(Header.subspan(12, 4));
    m_OutputGain = static_cast<std::int16_t>(ReadLittleEndian(Header.subspan(16, 2)));
    m_MappingFamily = Header[18];
    if(m_MappingFamily == 0)
    {
        CHECK_LINE(Header.size() == HeaderSize && (m_ChannelCount == 1 || m_ChannelCount == 2));
        return;
    }
    // Vorbis order: the stream count, the coupled ones, then each channel's stream.
    CHECK_LINE(m_MappingFamily == VorbisFamily && m_ChannelCount >= 1 && m_ChannelCount <= MaximalVorbisChannels);
    CHECK_LINE(Header.size() == HeaderSize + 2 + m_ChannelCount);
    m_StreamCount = Header[19];
    m_CoupledCount = Header[20];
    CHECK_LINE(m_StreamCount >= 1 && m_CoupledCount <= m_StreamCount);
    m_ChannelMapping.assign(Header.begin() + HeaderSize + 2, Header.end());
}

void OpusCodecRecord::InitializeSampleEntry(StsdBox& Stsd, AudioFormat const& Format) const
{
    CHECK_LINE(m_ChannelCount != 0 && m_ChannelCount == Format.m_ChannelCount && Format.m_SampleRate == OpusRate);
    OpusBox& Entry = Stsd.m_OpusBox;
    TrackBuilder::InitializeAudioSampleEntry(Entry, Format);
    DopsBox& Dops = Entry.m_DopsBox;
    Dops.SetPresent();
    Dops.m_OutputChannelCount = m_ChannelCount;
    Dops.m_PreSkip = m_PreSkip;
    Dops.m_InputSampleRate = m_InputSampleRate;
    Dops.m_OutputGain = m_OutputGain;
    Dops.m_ChannelMappingFamily = m_MappingFamily;
    Dops.m_StreamCount = m_StreamCount;
    Dops.m_CoupledCount = m_CoupledCount;
    Dops.m_ChannelMapping = m_ChannelMapping;
}

void OpusCodecRecord::CompleteTrack(TrakBox& Trak) const
{
    // The presentation begins PreSkip samples into the media, once: the
    // segments that follow are played on by the same decoder.
    EdtsBox& Edts = Trak.m_EdtsBox;
    Edts.SetPresent();
    Edts.m_ElstBox.SetPresent();
    Edts.m_ElstBox.m_SegmentDuration = 0;
    Edts.m_ElstBox.m_MediaTime = m_PreSkip;
    StblBox& Stbl = Trak.m_MdiaBox.m_MinfBox.m_StblBox;
    // Every Opus sample is a sync sample: no table says otherwise.
    Stbl.m_StssBox.SetPresent(false);
    Stbl.m_RollSgpdBox.SetPresent();
    Stbl.m_RollSgpdBox.m_RollDistance = RollDistance;
    Stbl.m_RollSbgpBox.SetPresent();
    Stbl.m_RollSbgpBox.m_GroupingType = MakeFourCc("roll");
}
} // namespace Mp4
