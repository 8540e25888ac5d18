// SPDX-License-Identifier: GPL-2.0-or-later
#include "mp4/Mp4AacCodecRecord.h"

#include "base/Check.h"
#include "base/StringFormat.h"
#include "mp4/Mp4BoxWriter.h"
#include "mp4/Mp4HexText.h"
#include "mp4/Mp4StructureBoxes.h"
#include "mp4/Mp4TrackBuilder.h"

namespace Mp4
{
namespace
{
constexpr std::uint8_t Mpeg4AudioObjectTypeIndication = 0x40;
constexpr std::uint8_t AudioStreamType = 0x15; // stream type 5, upstream 0, reserved 1
constexpr std::uint32_t DecoderBufferSize = 0x000600;
constexpr std::uint8_t EsDescriptorTag = 3;
constexpr std::uint8_t DecoderConfigDescriptorTag = 4;
constexpr std::uint8_t DecoderSpecificInfoTag = 5;
constexpr std::uint8_t SlConfigDescriptorTag = 6;
constexpr std::uint8_t PredefinedSlConfig = 2;
} // namespace

std::span<std::uint8_t const> AacCodecRecord::GetAudioSpecificConfig(AudioFormat const& Format)
{
    CHECK_LINE(Format.m_UserData.size() >= 2);
    return Format.m_UserData;
}

std::vector<std::uint8_t> AacCodecRecord::MakeEsDescriptor(AudioFormat const& Format)
{
    auto const AudioSpecificConfig = GetAudioSpecificConfig(Format);
    BoxWriter Fields;
    Fields.AppendU8(Mpeg4AudioObjectTypeIndication);
    Fields.AppendU8(AudioStreamType);
    Fields.AppendU24(DecoderBufferSize);
    Fields.AppendU32(Format.m_AverageBitrate); // maxBitrate
    Fields.AppendU32(Format.m_AverageBitrate); // avgBitrate
    Descriptor DecoderConfig{DecoderConfigDescriptorTag, Fields.TakeData()};
    Descriptor{DecoderSpecificInfoTag, {AudioSpecificConfig.begin(), AudioSpecificConfig.end()}}.AppendTo(DecoderConfig.m_Data);

    Descriptor Es{EsDescriptorTag, {0, 0, 0}}; // ES_ID 0, no flags
    DecoderConfig.AppendTo(Es.m_Data);
    Descriptor{SlConfigDescriptorTag, {PredefinedSlConfig}}.AppendTo(Es.m_Data);
    std::vector<std::uint8_t> Output;
    Es.AppendTo(Output);
    return Output;
}

void AacCodecRecord::InitializeSampleEntry(StsdBox& Stsd, AudioFormat const& Format)
{
    Mp4aBox& Entry = Stsd.m_Mp4aBox;
    TrackBuilder::InitializeAudioSampleEntry(Entry, Format);
    Entry.m_EsdsBox.SetPresent();
    Entry.m_EsdsBox.m_Data = MakeEsDescriptor(Format);
    TRACE("EsdsBox.m_Data %s, size %zu\n", FormatHexText(Entry.m_EsdsBox.m_Data).c_str(), Entry.m_EsdsBox.m_Data.size());
}

std::string AacCodecRecord::GetCodecsString(AudioFormat const& Format)
{
    return StringFormat("mp4a.%X.%u", Mpeg4AudioObjectTypeIndication, GetAudioSpecificConfig(Format)[0] >> 3);
}
} // namespace Mp4
