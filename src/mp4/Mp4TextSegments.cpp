// SPDX-License-Identifier: GPL-2.0-or-later
#include "mp4/Mp4TextSegments.h"

#include <limits>
#include <span>

#include "base/Check.h"
#include "mp4/Mp4BoxWriter.h"
#include "mp4/Mp4FragmentBoxes.h"
#include "mp4/Mp4FragmentBuilder.h"
#include "mp4/Mp4InitializationSegment.h"
#include "mp4/Mp4LanguageCode.h"
#include "mp4/Mp4WebVttCueBoxes.h"
#include "mp4/Mp4WebVttSampleSplitter.h"

namespace Mp4
{
namespace
{
constexpr std::string_view TtmlNamespace = "http://www.w3.org/ns/ttml";

void CheckSettings(TextTrackSettings const& Settings)
{
    CHECK_ARGUMENT(Settings.Format == TextSampleFormat::Stpp || Settings.Format == TextSampleFormat::Wvtt);
    CHECK_ARGUMENT(Settings.TrackId != 0);
    CHECK_ARGUMENT(Settings.Timescale != 0);
    LanguageCode::CheckTag(Settings.Language);
}

// A segment starts on the decode timeline (tfdt is unsigned) and each of its
// samples' durations fits trun's 32 bits.
void CheckInterval(std::int64_t Start, std::int64_t End)
{
    CHECK_ARGUMENT(Start >= 0 && Start < End);
    CHECK_ARGUMENT(End - Start <= std::numeric_limits<std::uint32_t>::max());
}

// What a WebVTT file could not carry is refused here too, so that a
// reader that turns the samples back into a file gets a valid one.
void CheckCue(TextCue const& Cue)
{
    constexpr std::string_view Arrow = "-->";
    for(std::string_view const Line : {std::string_view(Cue.Identifier), std::string_view(Cue.Settings)})
        CHECK_ARGUMENT(Line.find_first_of("\r\n") == std::string_view::npos && Line.find(Arrow) == std::string_view::npos);
    CHECK_ARGUMENT(!Cue.Text.empty() && Cue.Text.find(Arrow) == std::string::npos && Cue.Text.find("\n\n") == std::string::npos && Cue.Text.find('\r') == std::string::npos);
}

struct TextSample
{
    std::uint32_t m_Duration = 0;
    std::uint32_t m_Size = 0;
};

// moof and mdat of one track fragment whose samples lie one after the other
// in Payload. Every text sample is a sync sample: tfhd says so once.
std::vector<std::uint8_t> WriteFragment(TextTrackSettings const& Settings, std::uint32_t SequenceNumber, std::int64_t Start,
                                        std::vector<TextSample> const& SampleVector, std::span<std::uint8_t const> Payload)
{
    MoofBox Moof;
    Moof.SetPresent();
    Moof.m_MfhdBox.SetPresent();
    Moof.m_MfhdBox.m_SequenceNumber = SequenceNumber;
    TrafBox& Traf = Moof.m_TrafBoxList.emplace_back();
    Traf.SetPresent();
    Traf.m_TfhdBox.SetPresent();
    Traf.m_TfhdBox.m_Flags = TfhdBox::DefaultBaseIsMoof | TfhdBox::DefaultSampleFlagsPresent;
    Traf.m_TfhdBox.m_TrackId = Settings.TrackId;
    Traf.m_TfhdBox.m_DefaultSampleFlags = FragmentBuilder::SyncSampleFlags;
    Traf.m_TfdtBox.SetPresent();
    auto const DecodeTime = static_cast<std::uint64_t>(Start);
    Traf.m_TfdtBox.m_Version = DecodeTime >> 32 ? 1 : 0;
    Traf.m_TfdtBox.m_BaseMediaDecodeTime = DecodeTime;
    TrunBox& Trun = Traf.m_TrunBox;
    Trun.SetPresent();
    Trun.m_Flags = TrunBox::DataOffsetPresent | TrunBox::SampleDurationPresent | TrunBox::SampleSizePresent;
    for(auto const& Sample : SampleVector)
        Trun.m_SampleVector.push_back({Sample.m_Duration, Sample.m_Size, 0, 0});

    std::size_t const MoofSize = Moof.GetSize();
    auto const MdatHeader = BoxWriter::FormatHeader(MakeFourCc("mdat"), {}, Payload.size());
    std::size_t const DataOffset = MoofSize + MdatHeader.m_Size;
    CHECK_LINE(DataOffset <= 0x7FFFFFFF);
    Trun.m_DataOffset = static_cast<std::int32_t>(DataOffset);
    BoxWriter Writer;
    Writer.Reserve(DataOffset + Payload.size());
    Moof.Write(Writer);
    ASSERT(Writer.GetSize() == MoofSize);
    MdatBox Mdat;
    Mdat.SetPresent();
    Mdat.m_RangeVector = {Payload};
    Mdat.Write(Writer);
    return Writer.TakeData();
}

std::uint32_t ClippedDuration(std::int64_t Start, std::int64_t End)
{
    ASSERT(Start < End && End - Start <= std::numeric_limits<std::uint32_t>::max());
    return static_cast<std::uint32_t>(End - Start);
}
} // namespace

std::vector<std::uint8_t> WriteTextInitializationSegment(TextTrackSettings const& Settings)
{
    CheckSettings(Settings);
    StsdBox Stsd;
    std::uint32_t CmafBrand = 0;
    if(Settings.Format == TextSampleFormat::Stpp)
    {
        Stsd.m_StppBox.SetPresent();
        Stsd.m_StppBox.m_Namespace = TtmlNamespace;
        CmafBrand = MakeFourCc("im1t");
    }
    else
    {
        WvttBox& Wvtt = Stsd.m_WvttBox;
        Wvtt.SetPresent();
        Wvtt.m_VttcConfigurationBox.SetPresent();
        Wvtt.m_VttcConfigurationBox.m_Text = "WEBVTT";
        // Tracks of one language are made from one source: the same label.
        Wvtt.m_VlabBox.SetPresent();
        Wvtt.m_VlabBox.m_Text = "quorvel:subtitles:" + Settings.Language;
        CmafBrand = MakeFourCc("cwvt");
    }
    InitializationSegment::Track Track{TrackKind::Text, Settings.Timescale};
    TrackBuilder::Build(Settings.TrackId, TrackKind::Text, Settings.Timescale, 0, 0, std::move(Stsd), Track.m_TrakBox, Track.m_TrexBox);
    MdiaBox& Mdia = Track.m_TrakBox.m_MdiaBox;
    std::string const Code = LanguageCode::FromTag(Settings.Language);
    Mdia.m_MdhdBox.m_Language = LanguageCode::Pack(Code);
    if(Settings.Language != Code)
    {
        Mdia.m_ElngBox.SetPresent();
        Mdia.m_ElngBox.m_ExtendedLanguage = Settings.Language;
    }
    return InitializationSegment::Build({std::move(Track)}, {},
                                        {MakeFourCc("iso8"), MakeFourCc("mp41"), MakeFourCc("dash"), MakeFourCc("cmfc"), CmafBrand});
}

std::vector<std::uint8_t> WriteStppSegment(TextTrackSettings const& Settings, std::uint32_t SequenceNumber, std::int64_t Start, std::int64_t End,
                                           std::string_view Document)
{
    CheckSettings(Settings);
    CHECK_ARGUMENT(Settings.Format == TextSampleFormat::Stpp);
    CheckInterval(Start, End);
    CHECK_ARGUMENT(!Document.empty() && Document.size() <= MaximalTextDocumentBytes);
    std::span<std::uint8_t const> const Payload{reinterpret_cast<std::uint8_t const*>(Document.data()), Document.size()};
    return WriteFragment(Settings, SequenceNumber, Start, {{ClippedDuration(Start, End), static_cast<std::uint32_t>(Payload.size())}}, Payload);
}

std::vector<std::uint8_t> WriteWvttSegment(TextTrackSettings const& Settings, std::uint32_t SequenceNumber, std::int64_t Start, std::int64_t End,
                                           std::vector<TextCue> const& Cues)
{
    CheckSettings(Settings);
    CHECK_ARGUMENT(Settings.Format == TextSampleFormat::Wvtt);
    CheckInterval(Start, End);
    CHECK_ARGUMENT(Cues.size() <= MaximalTextCuesPerSegment);
    std::size_t TextBytes = 0;
    for(auto const& Cue : Cues)
    {
        CheckCue(Cue);
        TextBytes += Cue.Text.size() + Cue.Settings.size() + Cue.Identifier.size();
    }
    CHECK_ARGUMENT(TextBytes <= MaximalTextDocumentBytes);

    // The samples' boxes are written one after the other into one buffer,
    // which becomes the mdat's content.
    BoxWriter PayloadWriter;
    std::vector<TextSample> SampleVector;
    for(auto const& Piece : WebVttSampleSplitter::Split(Start, End, Cues))
    {
        std::size_t const SampleStart = PayloadWriter.GetSize();
        if(Piece.m_CueIndexVector.empty())
        {
            VtteBox Vtte;
            Vtte.SetPresent();
            Vtte.Write(PayloadWriter);
        }
        for(auto const CueIndex : Piece.m_CueIndexVector)
        {
            TextCue const& Cue = Cues[CueIndex];
            VttcBox Vttc;
            Vttc.SetPresent();
            Vttc.m_IdenBox.SetPresent(!Cue.Identifier.empty());
            Vttc.m_IdenBox.m_Text = Cue.Identifier;
            Vttc.m_SttgBox.SetPresent(!Cue.Settings.empty());
            Vttc.m_SttgBox.m_Text = Cue.Settings;
            Vttc.m_PaylBox.SetPresent();
            Vttc.m_PaylBox.m_Text = Cue.Text;
            Vttc.Write(PayloadWriter);
        }
        SampleVector.push_back({ClippedDuration(Piece.m_Start, Piece.m_End), static_cast<std::uint32_t>(PayloadWriter.GetSize() - SampleStart)});
    }
    return WriteFragment(Settings, SequenceNumber, Start, SampleVector, PayloadWriter.GetData());
}

std::string_view TextCodecs(TextSampleFormat Format)
{
    switch(Format)
    {
    case TextSampleFormat::Stpp:
        return "stpp.ttml.im1t";
    case TextSampleFormat::Wvtt:
        return "wvtt";
    }
    CHECK_ARGUMENT(false);
    return {};
}
} // namespace Mp4
