// SPDX-License-Identifier: GPL-2.0-or-later
#include "mp4/Mp4TrackBuilder.h"

#include "base/Check.h"
#include "mp4/Mp4BoxWriter.h"

namespace Mp4
{
namespace
{
constexpr std::uint32_t FixedOne = 0x00010000;     // 1.0 in 16.16
constexpr std::uint32_t FixedMatrixW = 0x40000000; // 1.0 in 2.30
constexpr std::uint16_t FullVolume = 0x0100;       // 1.0 in 8.8
constexpr std::uint32_t TrackEnabled = 0x000001;

std::vector<std::uint8_t> MakeEmptyTable(std::size_t Size) { return std::vector<std::uint8_t>(Size, 0); }
} // namespace

void TrackBuilder::InitializeVisualSampleEntry(VisualSampleEntryBox& Entry, VideoFormat const& Format, char const* CompressorName)
{
    CHECK_LINE(Format.m_Width <= 0xFFFF && Format.m_Height <= 0xFFFF);
    Entry.SetPresent();
    Entry.m_Width = static_cast<std::uint16_t>(Format.m_Width);
    Entry.m_Height = static_cast<std::uint16_t>(Format.m_Height);
    Entry.m_CompressorName = CompressorName;
}

void TrackBuilder::InitializeAudioSampleEntry(AudioSampleEntryBox& Entry, AudioFormat const& Format)
{
    CHECK_LINE(Format.m_ChannelCount <= 0xFFFF);
    Entry.SetPresent();
    Entry.m_ChannelCount = static_cast<std::uint16_t>(Format.m_ChannelCount);
    Entry.m_SampleSize = 16;
    Entry.m_SampleRate = Format.m_SampleRate;
}

void TrackBuilder::AppendUnityMatrix(BoxWriter& Writer)
{
    for(auto const Value : {FixedOne, 0u, 0u, 0u, FixedOne, 0u, 0u, 0u, FixedMatrixW})
        Writer.AppendU32(Value);
}

std::vector<std::uint8_t> TrackBuilder::MakeMvhdContent(std::uint32_t Timescale, std::uint32_t NextTrackId)
{
    BoxWriter Writer;
    Writer.AppendU32(0); // version 0, flags 0
    Writer.AppendU32(0); // creation_time
    Writer.AppendU32(0); // modification_time
    Writer.AppendU32(Timescale);
    Writer.AppendU32(0); // duration: fragments tell
    Writer.AppendU32(FixedOne);
    Writer.AppendU16(FullVolume);
    Writer.AppendZeros(10);
    AppendUnityMatrix(Writer);
    Writer.AppendZeros(24);
    Writer.AppendU32(NextTrackId);
    return Writer.TakeData();
}

std::vector<std::uint8_t> TrackBuilder::MakeTkhdContent(std::uint32_t TrackId, TrackKind Kind, std::uint32_t Width, std::uint32_t Height)
{
    CHECK_LINE(Width <= 0xFFFF && Height <= 0xFFFF);
    BoxWriter Writer;
    Writer.AppendU32(TrackEnabled);
    Writer.AppendU32(0); // creation_time
    Writer.AppendU32(0); // modification_time
    Writer.AppendU32(TrackId);
    Writer.AppendU32(0); // reserved
    Writer.AppendU32(0); // duration
    Writer.AppendZeros(8);
    Writer.AppendU16(0); // layer
    Writer.AppendU16(0); // alternate_group
    Writer.AppendU16(Kind == TrackKind::Audio ? FullVolume : 0);
    Writer.AppendU16(0);
    AppendUnityMatrix(Writer);
    Writer.AppendU32(Width << 16);
    Writer.AppendU32(Height << 16);
    return Writer.TakeData();
}

MdiaBox TrackBuilder::MakeMdiaBox(TrackKind Kind, std::uint32_t Timescale, StsdBox Stsd)
{
    bool const Video = Kind == TrackKind::Video;
    MdiaBox Mdia;
    Mdia.SetPresent();
    Mdia.m_MdhdBox.SetPresent();
    Mdia.m_MdhdBox.m_Timescale = Timescale;
    Mdia.m_HdlrBox.SetPresent();
    Mdia.m_HdlrBox.m_HandlerType = Video ? MakeFourCc("vide") : MakeFourCc("soun");
    Mdia.m_HdlrBox.m_Name = Video ? "VideoHandler" : "SoundHandler";
    MinfBox& Minf = Mdia.m_MinfBox;
    Minf.SetPresent();
    Minf.m_VmhdBox.SetPresent(Video);
    Minf.m_SmhdBox.SetPresent(!Video);
    Minf.m_DinfBox.SetPresent();
    StblBox& Stbl = Minf.m_StblBox;
    Stbl.SetPresent();
    Stbl.m_StsdBox = std::move(Stsd);
    Stbl.m_StsdBox.SetPresent();
    // Fragmented tracks keep their samples in fragments: the tables are empty.
    for(DataBox* Table : {&Stbl.m_SttsBox, &Stbl.m_StscBox, &Stbl.m_StcoBox, &Stbl.m_StssBox})
    {
        Table->SetPresent();
        Table->m_Data = MakeEmptyTable(8);
    }
    Stbl.m_StszBox.SetPresent();
    Stbl.m_StszBox.m_Data = MakeEmptyTable(12);
    return Mdia;
}

void TrackBuilder::Build(std::uint32_t TrackId, TrackKind Kind, std::uint32_t Timescale, std::uint32_t Width, std::uint32_t Height, StsdBox Stsd, DataBox& Trak, DataBox& Trex)
{
    DataBox Tkhd(MakeFourCc("tkhd"));
    Tkhd.SetPresent();
    Tkhd.m_Data = MakeTkhdContent(TrackId, Kind, Width, Height);
    BoxWriter Writer;
    Tkhd.Write(Writer);
    MakeMdiaBox(Kind, Timescale, std::move(Stsd)).Write(Writer);
    Trak.m_Data = Writer.TakeData();
    Trak.SetPresent();

    BoxWriter TrexWriter;
    TrexWriter.AppendU32(0); // version 0, flags 0
    TrexWriter.AppendU32(TrackId);
    TrexWriter.AppendU32(1); // default_sample_description_index
    TrexWriter.AppendZeros(3 * 4);
    Trex.m_Data = TrexWriter.TakeData();
    Trex.SetPresent();
}
} // namespace Mp4
