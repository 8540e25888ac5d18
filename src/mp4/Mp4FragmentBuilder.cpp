// SPDX-License-Identifier: GPL-2.0-or-later
#include "mp4/Mp4FragmentBuilder.h"

#include "base/Check.h"
#include "mp4/Mp4BoxWriter.h"
#include "mp4/Mp4SampleEncryptor.h"

namespace Mp4
{
namespace
{
constexpr std::uint32_t VideoTrunFlags = TrunBox::DataOffsetPresent | TrunBox::SampleDurationPresent | TrunBox::SampleSizePresent |
                                         TrunBox::SampleFlagsPresent | TrunBox::SampleCompositionTimeOffsetPresent;
constexpr std::uint32_t AudioTrunFlags = TrunBox::DataOffsetPresent | TrunBox::SampleDurationPresent | TrunBox::SampleSizePresent | TrunBox::SampleFlagsPresent;

std::uint32_t GetSampleSize(std::span<std::uint8_t const> Payload)
{
    CHECK_LINE(Payload.size() <= 0xFFFFFFFFu);
    return static_cast<std::uint32_t>(Payload.size());
}
} // namespace

TrafBox& FragmentBuilder::AddTrackFragment(MoofBox& Moof, Sample const& Value)
{
    Moof.SetPresent();
    Moof.m_MfhdBox.SetPresent();
    Moof.m_MfhdBox.m_SequenceNumber = Value.m_SequenceNumber;
    TrafBox& Traf = Moof.m_TrafBoxList.emplace_back();
    Traf.SetPresent();
    Traf.m_TfhdBox.SetPresent();
    Traf.m_TfhdBox.m_Flags = TfhdBox::DefaultBaseIsMoof | TfhdBox::DefaultSampleDurationPresent;
    Traf.m_TfhdBox.m_TrackId = Value.m_TrackId;
    Traf.m_TfhdBox.m_DefaultSampleDuration = Value.m_Duration;
    Traf.m_TfdtBox.SetPresent();
    Traf.m_TfdtBox.m_Version = Value.m_DecodeTime >> 32 ? 1 : 0;
    Traf.m_TfdtBox.m_BaseMediaDecodeTime = Value.m_DecodeTime;
    Traf.m_TrunBox.SetPresent();
    return Traf;
}

FragmentBuilder::Fragment FragmentBuilder::Serialise(MoofBox& Moof, std::span<std::uint8_t const> Payload)
{
    // The data offset and saio count from the moof's first byte; the moof's
    // size does not depend on their values.
    std::size_t const MoofSize = Moof.GetSize();
    auto const MdatHeader = BoxWriter::FormatHeader(MakeFourCc("mdat"), {}, Payload.size());
    std::size_t const DataOffset = MoofSize + MdatHeader.m_Size;
    CHECK_LINE(DataOffset <= 0x7FFFFFFF);
    Moof.m_TrafBoxList.back().m_TrunBox.m_DataOffset = static_cast<std::int32_t>(DataOffset);
    SampleEncryptor::SetAuxiliaryInformationOffset(Moof, MoofSize);
    BoxWriter Writer;
    Writer.Reserve(DataOffset + Payload.size());
    Moof.Write(Writer);
    ASSERT(Writer.GetSize() == MoofSize);
    MdatBox Mdat;
    Mdat.SetPresent();
    Mdat.m_RangeVector = {Payload};
    Mdat.Write(Writer);
    return {Writer.TakeData(), MoofSize};
}

FragmentBuilder::Fragment FragmentBuilder::BuildVideo(Sample const& Value, std::span<std::uint8_t> Payload, VideoCodec Codec, SampleEncryptor const* Encryptor,
                                                      std::uint32_t FrameWidth, std::span<ProtectedRange const> Av1Tiles)
{
    MoofBox Moof;
    TrafBox& Traf = AddTrackFragment(Moof, Value);
    TrunBox& Trun = Traf.m_TrunBox;
    Trun.m_Flags = VideoTrunFlags;
    Trun.m_Version = Value.m_CompositionOffset < 0 ? 1 : 0;
    Trun.m_SampleVector = {{Value.m_Duration, GetSampleSize(Payload), Value.m_Flags, Value.m_CompositionOffset}};
    if(Encryptor)
        Encryptor->EncryptVideoSample(Codec, Payload, Moof, FrameWidth, Av1Tiles);
    return Serialise(Moof, Payload);
}

FragmentBuilder::Fragment FragmentBuilder::BuildAudio(Sample const& Value, std::span<std::uint8_t> Payload, SampleEncryptor const* Encryptor)
{
    MoofBox Moof;
    TrafBox& Traf = AddTrackFragment(Moof, Value);
    Traf.m_TrunBox.m_Flags = AudioTrunFlags;
    Traf.m_TrunBox.m_SampleVector = {{Value.m_Duration, GetSampleSize(Payload), Value.m_Flags, 0}};
    if(Value.m_RollGroup)
    {
        // Group 1 of the sample table's description.
        Traf.m_RollSbgpBox.SetPresent();
        Traf.m_RollSbgpBox.m_GroupingType = MakeFourCc("roll");
        Traf.m_RollSbgpBox.m_EntryVector = {{1, 1}};
    }
    if(Encryptor)
        Encryptor->EncryptAudioSample(Payload, Moof);
    return Serialise(Moof, Payload);
}
} // namespace Mp4
