// SPDX-License-Identifier: GPL-2.0-or-later
#include "mp4/Mp4TrackBuilder.h"

#include "base/Check.h"

namespace Mp4
{
void TrackBuilder::InitializeVisualSampleEntry(VisualSampleEntryBox& Entry, VideoFormat const& Format, char const* CompressorName)
{
    CHECK_LINE(Format.m_Width <= 0xFFFF && Format.m_Height <= 0xFFFF);
    Entry.SetPresent();
    Entry.m_Width = static_cast<std::uint16_t>(Format.m_Width);
    Entry.m_Height = static_cast<std::uint16_t>(Format.m_Height);
    Entry.m_CompressorName = CompressorName;
    if(!Format.m_Colour)
        return;
    auto const& Colour = *Format.m_Colour;
    Entry.m_ColrBox.SetPresent();
    Entry.m_ColrBox.m_Primaries = Colour.m_Primaries;
    Entry.m_ColrBox.m_Transfer = Colour.m_Transfer;
    Entry.m_ColrBox.m_Matrix = Colour.m_Matrix;
    Entry.m_ColrBox.m_FullRange = Colour.m_FullRange;
    // HLG needs none: its signal is relative to the display's own peak.
    if(!Colour.IsPerceptualQuantizer())
        return;
    Entry.m_MdcvBox.SetPresent();
    Entry.m_MdcvBox.m_Metadata = HdrStaticMetadata::Signalled;
    Entry.m_ClliBox.SetPresent();
    Entry.m_ClliBox.m_Metadata = HdrStaticMetadata::Signalled;
}

void TrackBuilder::InitializeAudioSampleEntry(AudioSampleEntryBox& Entry, AudioFormat const& Format)
{
    CHECK_LINE(Format.m_ChannelCount <= 0xFFFF);
    Entry.SetPresent();
    Entry.m_ChannelCount = static_cast<std::uint16_t>(Format.m_ChannelCount);
    Entry.m_SampleSize = 16;
    Entry.m_SampleRate = Format.m_SampleRate;
}

void TrackBuilder::InitializeMdiaBox(MdiaBox& Mdia, TrackKind Kind, std::uint32_t Timescale, StsdBox Stsd)
{
    Mdia.SetPresent();
    Mdia.m_MdhdBox.SetPresent();
    Mdia.m_MdhdBox.m_Timescale = Timescale;
    Mdia.m_HdlrBox.SetPresent();
    switch(Kind)
    {
    case TrackKind::Video:
        Mdia.m_HdlrBox.m_HandlerType = MakeFourCc("vide");
        Mdia.m_HdlrBox.m_Name = "VideoHandler";
        break;
    case TrackKind::Audio:
        Mdia.m_HdlrBox.m_HandlerType = MakeFourCc("soun");
        Mdia.m_HdlrBox.m_Name = "SoundHandler";
        break;
    case TrackKind::Text:
        Mdia.m_HdlrBox.m_HandlerType = MakeFourCc("subt");
        Mdia.m_HdlrBox.m_Name = "SubtitleHandler";
        break;
    }
    MinfBox& Minf = Mdia.m_MinfBox;
    Minf.SetPresent();
    Minf.m_VmhdBox.SetPresent(Kind == TrackKind::Video);
    Minf.m_SmhdBox.SetPresent(Kind == TrackKind::Audio);
    Minf.m_SthdBox.SetPresent(Kind == TrackKind::Text);
    Minf.m_DinfBox.SetPresent();
    StblBox& Stbl = Minf.m_StblBox;
    Stbl.SetPresent();
    Stbl.m_StsdBox = std::move(Stsd);
    Stbl.m_StsdBox.SetPresent();
    for(EmptyTableBox* Table : {&Stbl.m_SttsBox, &Stbl.m_StscBox, &Stbl.m_StcoBox, &Stbl.m_StssBox})
        Table->SetPresent();
    Stbl.m_StszBox.SetPresent();
}

void TrackBuilder::Build(std::uint32_t TrackId, TrackKind Kind, std::uint32_t Timescale, std::uint32_t Width, std::uint32_t Height, StsdBox Stsd, TrakBox& Trak, TrexBox& Trex)
{
    CHECK_LINE(Width <= 0xFFFF && Height <= 0xFFFF);
    Trak.SetPresent();
    TkhdBox& Tkhd = Trak.m_TkhdBox;
    Tkhd.SetPresent();
    Tkhd.m_TrackId = TrackId;
    Tkhd.m_Volume = Kind == TrackKind::Audio ? TkhdBox::FullVolume : 0;
    Tkhd.m_Width = static_cast<std::uint16_t>(Width);
    Tkhd.m_Height = static_cast<std::uint16_t>(Height);
    InitializeMdiaBox(Trak.m_MdiaBox, Kind, Timescale, std::move(Stsd));

    Trex.SetPresent();
    Trex.m_TrackId = TrackId;
}
} // namespace Mp4
