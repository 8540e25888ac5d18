// SPDX-License-Identifier: GPL-2.0-or-later
// Text tracks in fragmented MP4: the box layout read back here. What
// readers written by others make of the server's text segments is judged
// end to end by test_subtitles.py.
#include <gtest/gtest.h>

#include <functional>

#include "mf/MfTestTools.h"
#include "mp4/Mp4TestBoxReader.h"
#include "mp4/Mp4TestBytes.h"
#include "mp4/Mp4TextSegments.h"

using Mp4::Test::ReadBox;
using Mp4::Test::ReadBoxes;
using Mp4::Test::ReadU32;
using namespace std::string_literals;

namespace
{
using Bytes = std::vector<std::uint8_t>;

std::uint64_t ReadU64(Bytes const& Data, std::size_t Offset) { return std::uint64_t{ReadU32(Data, Offset)} << 32 | ReadU32(Data, Offset + 4); }

struct TrunSample
{
    std::uint32_t m_Duration, m_Size;
};

// trun as the writer lays it out: data offset, then duration and size per sample.
std::vector<TrunSample> ReadTrun(ReadBox const& Trun, std::uint32_t& DataOffset)
{
    EXPECT_EQ(ReadU32(Trun.m_Content, 0) & 0xFFFFFF, 0x000301u);
    std::uint32_t const Count = ReadU32(Trun.m_Content, 4);
    DataOffset = ReadU32(Trun.m_Content, 8);
    std::vector<TrunSample> Result;
    for(std::uint32_t Index = 0; Index < Count; ++Index)
        Result.push_back({ReadU32(Trun.m_Content, 12 + 8 * Index), ReadU32(Trun.m_Content, 16 + 8 * Index)});
    return Result;
}

std::string LanguageOf(ReadBox const& Mdhd)
{
    std::uint32_t const Packed = ReadU32(Mdhd.m_Content, 20) >> 16;
    return {static_cast<char>(0x60 + (Packed >> 10 & 31)), static_cast<char>(0x60 + (Packed >> 5 & 31)), static_cast<char>(0x60 + (Packed & 31))};
}

Mp4::TextTrackSettings Settings(Mp4::TextSampleFormat Format, std::string Language = "en")
{
    Mp4::TextTrackSettings Result;
    Result.Format = Format;
    Result.TrackId = 3;
    Result.Timescale = 1000;
    Result.Language = std::move(Language);
    return Result;
}

std::string const Document = R"(<?xml version="1.0" encoding="UTF-8"?>
<tt xmlns="http://www.w3.org/ns/ttml" xmlns:ttp="http://www.w3.org/ns/ttml#parameter" ttp:profile="http://www.w3.org/ns/ttml/profile/imsc1/text" xml:lang="en"><body><div><p begin="00:00:10.000" end="00:00:10.900">00:00:10.000</p></div></body></tt>
)";

// Cues over the segment [10 s, 16 s): one from before it, a gap, two that
// overlap, a long gap, one that runs past its end, one outside it.
std::vector<Mp4::TextCue> const Cues = {
    {9500, 10900, "A", "", ""},
    {11000, 11900, "B\nsecond line", "line:10%", "b1"},
    {11500, 13000, "C", "", ""},
    {15500, 17000, "D", "", ""},
    {20000, 21000, "E", "", ""},
};
} // namespace

TEST(TextSegments, InitializationSegmentLayout)
{
    struct Case
    {
        Mp4::TextSampleFormat m_Format;
        std::string m_Language, m_Mdhd, m_Elng; // empty: no elng
        std::string m_Entry, m_Brand;
    } const Table[] = {
        {Mp4::TextSampleFormat::Stpp, "en", "eng", "en", "stpp", "im1t"},
        {Mp4::TextSampleFormat::Wvtt, "sv-SE", "swe", "sv-SE", "wvtt", "cwvt"},
        {Mp4::TextSampleFormat::Wvtt, "EN-gb", "eng", "EN-gb", "wvtt", "cwvt"},
        {Mp4::TextSampleFormat::Wvtt, "fil", "fil", "", "wvtt", "cwvt"}, // no two-letter code
        {Mp4::TextSampleFormat::Stpp, "und", "und", "", "stpp", "im1t"},
        {Mp4::TextSampleFormat::Stpp, "zz", "und", "zz", "stpp", "im1t"},    // no such language
        {Mp4::TextSampleFormat::Stpp, "ger", "und", "ger", "stpp", "im1t"},  // a bibliographic code is not 639-2/T
        {Mp4::TextSampleFormat::Wvtt, "x-test", "und", "x-test", "wvtt", "cwvt"},
    };
    for(auto const& Value : Table)
    {
        SCOPED_TRACE(Value.m_Language);
        Bytes const File = Mp4::WriteTextInitializationSegment(Settings(Value.m_Format, Value.m_Language));
        EXPECT_EQ(File, Mp4::WriteTextInitializationSegment(Settings(Value.m_Format, Value.m_Language)));
        auto const Top = ReadBoxes(File);
        ASSERT_EQ(Top.size(), 2u);
        EXPECT_EQ(Top[0].m_Type, "ftyp");
        EXPECT_NE(Top[0].Text().find("cmfc"), std::string::npos);
        EXPECT_NE(Top[0].Text().find(Value.m_Brand), std::string::npos);
        ReadBox const& Moov = Top[1];
        EXPECT_EQ(Moov.ChildTypes(), (std::vector<std::string>{"mvhd", "trak", "mvex"}));
        ReadBox const& Trak = Moov.Child("trak");
        EXPECT_EQ(ReadU32(Trak.Child("tkhd").m_Content, 12), 3u); // track_ID
        EXPECT_EQ(ReadU32(Moov.Child("mvex").Child("trex").m_Content, 4), 3u);
        ReadBox const& Mdia = Trak.Child("mdia");
        EXPECT_EQ(ReadU32(Mdia.Child("mdhd").m_Content, 12), 1000u); // timescale
        EXPECT_EQ(LanguageOf(Mdia.Child("mdhd")), Value.m_Mdhd);
        if(Value.m_Elng.empty())
            EXPECT_EQ(Mdia.ChildTypes(), (std::vector<std::string>{"mdhd", "hdlr", "minf"}));
        else
            EXPECT_EQ(Mdia.Child("elng").Text(), std::string(4, '\0') + Value.m_Elng + '\0');
        EXPECT_EQ(Mdia.Child("hdlr").Text().substr(8, 4), "subt");
        ReadBox const& Minf = Mdia.Child("minf");
        EXPECT_EQ(Minf.ChildTypes(), (std::vector<std::string>{"sthd", "dinf", "stbl"}));
        ReadBox const& Stsd = Minf.Child("stbl").Child("stsd");
        ASSERT_EQ(Stsd.ChildTypes(), std::vector<std::string>{Value.m_Entry});
        ReadBox const& Entry = Stsd.m_Children[0];
        std::string const EntryFields = std::string(6, '\0') + "\x00\x01"s;
        if(Value.m_Format == Mp4::TextSampleFormat::Stpp)
            EXPECT_EQ(Entry.Text(), EntryFields + "http://www.w3.org/ns/ttml" + std::string(3, '\0'));
        else
        {
            EXPECT_EQ(Entry.ChildTypes(), (std::vector<std::string>{"vttC", "vlab"}));
            EXPECT_EQ(Entry.Child("vttC").Text(), "WEBVTT");
            EXPECT_EQ(Entry.Child("vlab").Text(), "quorvel:subtitles:" + Value.m_Language);
        }
    }
}

namespace
{
// moof and mdat of a text segment, with the samples' bytes cut out of the
// mdat by trun's data offset and sizes.
struct ReadSegment
{
    std::uint32_t m_SequenceNumber = 0;
    std::uint64_t m_DecodeTime = 0;
    std::vector<TrunSample> m_SampleVector;
    std::vector<Bytes> m_PayloadVector;
};

ReadSegment ReadTextSegment(Bytes const& File)
{
    auto const Top = ReadBoxes(File);
    EXPECT_EQ(Top.size(), 2u);
    ReadBox const& Moof = Top.at(0);
    EXPECT_EQ(Top.at(1).m_Type, "mdat");
    ReadSegment Result;
    Result.m_SequenceNumber = ReadU32(Moof.Child("mfhd").m_Content, 4);
    ReadBox const& Traf = Moof.Child("traf");
    EXPECT_EQ(Traf.ChildTypes(), (std::vector<std::string>{"tfhd", "tfdt", "trun"}));
    ReadBox const& Tfhd = Traf.Child("tfhd");
    EXPECT_EQ(ReadU32(Tfhd.m_Content, 0), 0x020020u); // base is moof, default flags
    EXPECT_EQ(ReadU32(Tfhd.m_Content, 4), 3u);
    EXPECT_EQ(ReadU32(Tfhd.m_Content, 8), 0x02000000u) << "every text sample is a sync sample";
    ReadBox const& Tfdt = Traf.Child("tfdt");
    Result.m_DecodeTime = Tfdt.m_Content[0] == 1 ? ReadU64(Tfdt.m_Content, 4) : ReadU32(Tfdt.m_Content, 4);
    std::uint32_t DataOffset = 0;
    Result.m_SampleVector = ReadTrun(Traf.Child("trun"), DataOffset);
    std::size_t const MoofSize = Moof.m_Content.size() + 8;
    EXPECT_EQ(DataOffset, MoofSize + 8) << "the samples start the mdat";
    std::size_t Offset = DataOffset;
    for(auto const& Sample : Result.m_SampleVector)
    {
        Result.m_PayloadVector.emplace_back(File.begin() + static_cast<std::ptrdiff_t>(Offset), File.begin() + static_cast<std::ptrdiff_t>(Offset + Sample.m_Size));
        Offset += Sample.m_Size;
    }
    EXPECT_EQ(Offset, File.size()) << "the samples fill the mdat";
    return Result;
}
} // namespace

TEST(TextSegments, StppSegmentIsOneDocumentSample)
{
    auto const Track = Settings(Mp4::TextSampleFormat::Stpp);
    // Past 2^32 the decode time needs tfdt version 1.
    for(std::int64_t const Start : {std::int64_t{10000}, std::int64_t{5'000'000'000}})
    {
        Bytes const File = Mp4::WriteStppSegment(Track, 7, Start, Start + 6000, Document);
        EXPECT_EQ(File, Mp4::WriteStppSegment(Track, 7, Start, Start + 6000, Document));
        ReadSegment const Segment = ReadTextSegment(File);
        EXPECT_EQ(Segment.m_SequenceNumber, 7u);
        EXPECT_EQ(Segment.m_DecodeTime, static_cast<std::uint64_t>(Start));
        ASSERT_EQ(Segment.m_SampleVector.size(), 1u);
        EXPECT_EQ(Segment.m_SampleVector[0].m_Duration, 6000u);
        EXPECT_EQ(std::string(Segment.m_PayloadVector[0].begin(), Segment.m_PayloadVector[0].end()), Document);
    }
}

TEST(TextSegments, WvttSamplesSplitAtCueEdges)
{
    Bytes const File = Mp4::WriteWvttSegment(Settings(Mp4::TextSampleFormat::Wvtt), 2, 10000, 16000, Cues);
    EXPECT_EQ(File, Mp4::WriteWvttSegment(Settings(Mp4::TextSampleFormat::Wvtt), 2, 10000, 16000, Cues));
    ReadSegment const Segment = ReadTextSegment(File);
    EXPECT_EQ(Segment.m_DecodeTime, 10000u);
    // Each sample as its duration and the payloads of its cues; "-" for vtte.
    std::vector<std::pair<std::uint32_t, std::string>> Samples;
    std::uint64_t Total = 0;
    for(std::size_t Index = 0; Index < Segment.m_SampleVector.size(); ++Index)
    {
        std::string Text;
        for(auto const& Box : ReadBoxes(Segment.m_PayloadVector[Index]))
        {
            if(Box.m_Type == "vtte")
            {
                EXPECT_TRUE(Box.m_Content.empty());
                Text += "-";
                continue;
            }
            ASSERT_EQ(Box.m_Type, "vttc");
            if(!Text.empty())
                Text += '|';
            Text += Box.Child("payl").Text();
            if(Box.Child("payl").Text().starts_with("B"))
            {
                EXPECT_EQ(Box.ChildTypes(), (std::vector<std::string>{"iden", "sttg", "payl"}));
                EXPECT_EQ(Box.Child("iden").Text(), "b1");
                EXPECT_EQ(Box.Child("sttg").Text(), "line:10%");
            }
            else
                EXPECT_EQ(Box.ChildTypes(), std::vector<std::string>{"payl"});
        }
        Samples.emplace_back(Segment.m_SampleVector[Index].m_Duration, Text);
        Total += Segment.m_SampleVector[Index].m_Duration;
    }
    EXPECT_EQ(Total, 6000u);
    std::vector<std::pair<std::uint32_t, std::string>> const Expected = {
        {900, "A"}, {100, "-"}, {500, "B\nsecond line"}, {400, "B\nsecond line|C"}, {1100, "C"}, {2500, "-"}, {500, "D"},
    };
    EXPECT_EQ(Samples, Expected);

    // No cue at all: one empty sample over the whole segment.
    ReadSegment const Empty = ReadTextSegment(Mp4::WriteWvttSegment(Settings(Mp4::TextSampleFormat::Wvtt), 3, 16000, 22000, {}));
    ASSERT_EQ(Empty.m_SampleVector.size(), 1u);
    EXPECT_EQ(Empty.m_SampleVector[0].m_Duration, 6000u);
    EXPECT_EQ(Empty.m_PayloadVector[0], Mp4::Test::Hex("00000008 76747465"));
}

TEST(TextSegments, RefusesWhatNoTrackCanCarry)
{
    auto const Wvtt = Settings(Mp4::TextSampleFormat::Wvtt);
    auto const Stpp = Settings(Mp4::TextSampleFormat::Stpp);
    auto Cue = [](std::string Text, std::string CueSettings = {}, std::string Identifier = {}) {
        return std::vector<Mp4::TextCue>{{0, 1000, std::move(Text), std::move(CueSettings), std::move(Identifier)}};
    };
    auto With = [](Mp4::TextTrackSettings Value, auto Change) {
        Change(Value);
        return Value;
    };
    std::vector<std::pair<char const*, std::function<void()>>> const Table = {
        {"end before start", [&] { Mp4::WriteWvttSegment(Wvtt, 1, 2000, 2000, {}); }},
        {"negative start", [&] { Mp4::WriteStppSegment(Stpp, 1, -1000, 1000, Document); }},
        {"longer than trun counts", [&] { Mp4::WriteStppSegment(Stpp, 1, 0, std::int64_t{1} << 32, Document); }},
        {"wvtt track, stpp segment", [&] { Mp4::WriteStppSegment(Wvtt, 1, 0, 1000, Document); }},
        {"stpp track, wvtt segment", [&] { Mp4::WriteWvttSegment(Stpp, 1, 0, 1000, {}); }},
        {"empty document", [&] { Mp4::WriteStppSegment(Stpp, 1, 0, 1000, ""); }},
        {"document too large", [&] { Mp4::WriteStppSegment(Stpp, 1, 0, 1000, std::string(Mp4::MaximalTextDocumentBytes + 1, 'x')); }},
        {"cue of no duration", [&] { Mp4::WriteWvttSegment(Wvtt, 1, 0, 1000, {{500, 500, "x", "", ""}}); }},
        {"empty cue text", [&] { Mp4::WriteWvttSegment(Wvtt, 1, 0, 1000, Cue("")); }},
        {"arrow in text", [&] { Mp4::WriteWvttSegment(Wvtt, 1, 0, 1000, Cue("a --> b")); }},
        {"blank line in text", [&] { Mp4::WriteWvttSegment(Wvtt, 1, 0, 1000, Cue("a\n\nb")); }},
        {"line break in settings", [&] { Mp4::WriteWvttSegment(Wvtt, 1, 0, 1000, Cue("a", "line:0\nx")); }},
        {"line break in identifier", [&] { Mp4::WriteWvttSegment(Wvtt, 1, 0, 1000, Cue("a", "", "i\nd")); }},
        {"too many cues", [&] { Mp4::WriteWvttSegment(Wvtt, 1, 0, 1000, std::vector<Mp4::TextCue>(Mp4::MaximalTextCuesPerSegment + 1, Cue("a")[0])); }},
        {"track 0", [&] { Mp4::WriteTextInitializationSegment(With(Wvtt, [](auto& Value) { Value.TrackId = 0; })); }},
        {"timescale 0", [&] { Mp4::WriteTextInitializationSegment(With(Wvtt, [](auto& Value) { Value.Timescale = 0; })); }},
        {"empty language", [&] { Mp4::WriteTextInitializationSegment(With(Wvtt, [](auto& Value) { Value.Language = ""; })); }},
        {"empty subtag", [&] { Mp4::WriteTextInitializationSegment(With(Wvtt, [](auto& Value) { Value.Language = "en--GB"; })); }},
        {"not ASCII", [&] { Mp4::WriteTextInitializationSegment(With(Wvtt, [](auto& Value) { Value.Language = "sv\xc3\xa9"; })); }},
        {"language too long", [&] { Mp4::WriteTextInitializationSegment(With(Wvtt, [](auto& Value) { Value.Language = "en-" + std::string(80, 'a'); })); }},
    };
    for(auto const& [Name, Call] : Table)
        EXPECT_EQ(MF::Testing::Raised(Call), E_INVALIDARG) << Name;
}
