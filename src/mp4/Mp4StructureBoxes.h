// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <list>
#include <string>

#include "mp4/Mp4FragmentBoxes.h"
#include "mp4/Mp4SampleEntryBoxes.h"
#include "mp4/Mp4TextSampleEntryBoxes.h"

// The boxes of an initialisation segment: file type, movie, track media.
namespace Mp4
{
struct FtypBox : Box
{
    FtypBox() noexcept : Box(MakeFourCc("ftyp")) { }
    void Write(BoxWriter& Writer) const;

    std::uint32_t m_MajorBrand = 0;
    std::uint32_t m_MinorVersion = 0;
    std::vector<std::uint32_t> m_CompatibleBrandVector;

protected:
    explicit FtypBox(std::uint32_t Type) noexcept : Box(Type) { }
};

// Segment type: the layout of ftyp.
struct StypBox : FtypBox
{
    StypBox() noexcept : FtypBox(MakeFourCc("styp")) { }
};

struct MehdBox : FullBox
{
    MehdBox() noexcept : FullBox(MakeFourCc("mehd")) { }
    void Write(BoxWriter& Writer) const;

    std::uint64_t m_FragmentDuration = 0; // 32 bits in version 0
};

// Movie header. Durations are 0: the fragments tell.
struct MvhdBox : FullBox
{
    MvhdBox() noexcept : FullBox(MakeFourCc("mvhd")) { }
    void Write(BoxWriter& Writer) const;

    std::uint32_t m_Timescale = 0;
    std::uint32_t m_NextTrackId = 0;
};

// Track header of an enabled track.
struct TkhdBox : FullBox
{
    static constexpr std::uint32_t TrackEnabled = 0x000001;
    static constexpr std::uint16_t FullVolume = 0x0100; // 1.0 in 8.8

    TkhdBox() noexcept : FullBox(MakeFourCc("tkhd"), 0, TrackEnabled) { }
    void Write(BoxWriter& Writer) const;

    std::uint32_t m_TrackId = 0;
    std::uint16_t m_Volume = 0; // FullVolume for audio, 0 for video
    std::uint16_t m_Width = 0;  // in pixels, written as 16.16
    std::uint16_t m_Height = 0;
};

// Edit list: one edit, the whole media from MediaTime on (version 0). A
// segment duration of 0 says "as long as the media": fragments are added as
// they come.
struct ElstBox : FullBox
{
    ElstBox() noexcept : FullBox(MakeFourCc("elst")) { }
    void Write(BoxWriter& Writer) const;

    std::uint32_t m_SegmentDuration = 0; // in the movie timescale
    std::int32_t m_MediaTime = 0;        // in the media timescale
};

struct EdtsBox : Box
{
    EdtsBox() noexcept : Box(MakeFourCc("edts")) { }
    void Write(BoxWriter& Writer) const;

    ElstBox m_ElstBox;
};

// Track extends: the defaults that the fragments of one track start from.
struct TrexBox : FullBox
{
    TrexBox() noexcept : FullBox(MakeFourCc("trex")) { }
    void Write(BoxWriter& Writer) const;

    std::uint32_t m_TrackId = 0;
    std::uint32_t m_DefaultSampleDescriptionIndex = 1;
    std::uint32_t m_DefaultSampleDuration = 0;
    std::uint32_t m_DefaultSampleSize = 0;
    std::uint32_t m_DefaultSampleFlags = 0;
};

struct MvexBox : Box
{
    MvexBox() noexcept : Box(MakeFourCc("mvex")) { }
    void Write(BoxWriter& Writer) const;

    MehdBox m_MehdBox;
    std::list<TrexBox> m_TrexBoxList;
};

struct MdhdBox : FullBox
{
    static constexpr std::uint16_t UndeterminedLanguage = 0x55C4; // "und" packed in three 5-bit letters

    MdhdBox() noexcept : FullBox(MakeFourCc("mdhd")) { }
    void Write(BoxWriter& Writer) const;

    std::uint32_t m_Timescale = 0;
    std::uint16_t m_Language = UndeterminedLanguage; // ISO 639-2/T, LanguageCode::Pack
};

// Extended language: the full BCP 47 tag, when mdhd's code says less.
struct ElngBox : FullBox
{
    ElngBox() noexcept : FullBox(MakeFourCc("elng")) { }
    void Write(BoxWriter& Writer) const;

    std::string m_ExtendedLanguage;
};

struct HdlrBox : FullBox
{
    HdlrBox() noexcept : FullBox(MakeFourCc("hdlr")) { }
    void Write(BoxWriter& Writer) const;

    std::uint32_t m_HandlerType = 0;
    std::string m_Name;
};

struct VmhdBox : FullBox
{
    VmhdBox() noexcept : FullBox(MakeFourCc("vmhd"), 0, 1) { }
    void Write(BoxWriter& Writer) const;
};

struct SmhdBox : FullBox
{
    SmhdBox() noexcept : FullBox(MakeFourCc("smhd")) { }
    void Write(BoxWriter& Writer) const;
};

// Subtitle media header: no fields.
struct SthdBox : FullBox
{
    SthdBox() noexcept : FullBox(MakeFourCc("sthd")) { }
    void Write(BoxWriter& Writer) const;
};

// Data information: one reference to media in the same file.
struct DinfBox : Box
{
    DinfBox() noexcept : Box(MakeFourCc("dinf")) { }
    void Write(BoxWriter& Writer) const;
};

struct StsdBox : FullBox
{
    StsdBox() noexcept : FullBox(MakeFourCc("stsd")) { }
    void Write(BoxWriter& Writer) const;

    // The builder makes exactly one of them present.
    Avc1Box m_Avc1Box;
    Hvc1Box m_Hvc1Box;
    Av01Box m_Av01Box;
    Vp09Box m_Vp09Box;
    Mp4aBox m_Mp4aBox;
    FlacBox m_FlacBox;
    OpusBox m_OpusBox;
    Ac3Box m_Ac3Box;
    Ec3Box m_Ec3Box;
    StppBox m_StppBox;
    WvttBox m_WvttBox;
};

// The description of the audio roll recovery group ('roll', ISO/IEC
// 14496-12 10.1; version 1, one entry): a decoder that starts at a sample
// decodes the -RollDistance samples before it first.
struct RollSgpdBox : FullBox
{
    RollSgpdBox() noexcept : FullBox(MakeFourCc("sgpd"), 1) { }
    void Write(BoxWriter& Writer) const;

    std::int16_t m_RollDistance = 0;
};

// A sample table with no entries (stts, stsc, stco, stss): fragmented
// tracks keep their samples in the fragments.
struct EmptyTableBox : FullBox
{
    using FullBox::FullBox;
    void Write(BoxWriter& Writer) const;
};

// Sample sizes, empty for the same reason: sample_size 0, sample_count 0.
struct StszBox : FullBox
{
    StszBox() noexcept : FullBox(MakeFourCc("stsz")) { }
    void Write(BoxWriter& Writer) const;
};

struct StblBox : Box
{
    StblBox() noexcept : Box(MakeFourCc("stbl")) { }
    void Write(BoxWriter& Writer) const;

    StsdBox m_StsdBox;
    EmptyTableBox m_SttsBox{MakeFourCc("stts")};
    EmptyTableBox m_StscBox{MakeFourCc("stsc")};
    StszBox m_StszBox;
    EmptyTableBox m_StcoBox{MakeFourCc("stco")};
    EmptyTableBox m_StssBox{MakeFourCc("stss")};
    // Opus: the roll group every sample of the fragments belongs to (their
    // sbgp names it), and its sample to group box, empty like the tables.
    RollSgpdBox m_RollSgpdBox;
    SbgpBox m_RollSbgpBox;
};

struct MinfBox : Box
{
    MinfBox() noexcept : Box(MakeFourCc("minf")) { }
    void Write(BoxWriter& Writer) const;

    VmhdBox m_VmhdBox;
    SmhdBox m_SmhdBox;
    SthdBox m_SthdBox;
    DinfBox m_DinfBox;
    StblBox m_StblBox;
};

struct MdiaBox : Box
{
    MdiaBox() noexcept : Box(MakeFourCc("mdia")) { }
    void Write(BoxWriter& Writer) const;

    MdhdBox m_MdhdBox;
    ElngBox m_ElngBox;
    HdlrBox m_HdlrBox;
    MinfBox m_MinfBox;
};
struct TrakBox : Box
{
    TrakBox() noexcept : Box(MakeFourCc("trak")) { }
    void Write(BoxWriter& Writer) const;

    TkhdBox m_TkhdBox;
    EdtsBox m_EdtsBox;
    MdiaBox m_MdiaBox;
};

struct MoovBox : Box
{
    MoovBox() noexcept : Box(MakeFourCc("moov")) { }
    void Write(BoxWriter& Writer) const;

    MvhdBox m_MvhdBox;
    std::list<TrakBox> m_TrakBoxList;
    MvexBox m_MvexBox; // fragmented movies need it
    std::list<PsshBox> m_PsshBoxList;
};
} // namespace Mp4
