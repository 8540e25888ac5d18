// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <list>
#include <string>

#include "mp4/Mp4SampleEntryBoxes.h"

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

struct MvexBox : Box
{
    MvexBox() noexcept : Box(MakeFourCc("mvex")) { }
    // Fragmented movies need it, so it is written whether marked present or not.
    void Write(BoxWriter& Writer) const;

    MehdBox m_MehdBox;
    std::list<DataBox> m_TrexBoxList;
};

struct MoovBox : Box
{
    MoovBox() noexcept : Box(MakeFourCc("moov")) { }
    void Write(BoxWriter& Writer) const;

    DataBox m_MvhdBox{MakeFourCc("mvhd")};
    std::list<DataBox> m_TrakBoxList;
    MvexBox m_MvexBox;
    std::list<PsshBox> m_PsshBoxList;
};

struct MdhdBox : FullBox
{
    MdhdBox() noexcept : FullBox(MakeFourCc("mdhd")) { }
    void Write(BoxWriter& Writer) const;

    std::uint32_t m_Timescale = 0;
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
    Mp4aBox m_Mp4aBox;
    FlacBox m_FlacBox;
};

struct StblBox : Box
{
    StblBox() noexcept : Box(MakeFourCc("stbl")) { }
    void Write(BoxWriter& Writer) const;

    StsdBox m_StsdBox;
    DataBox m_SttsBox{MakeFourCc("stts")};
    DataBox m_StscBox{MakeFourCc("stsc")};
    DataBox m_StszBox{MakeFourCc("stsz")};
    DataBox m_StcoBox{MakeFourCc("stco")};
    DataBox m_StssBox{MakeFourCc("stss")};
};

struct MinfBox : Box
{
    MinfBox() noexcept : Box(MakeFourCc("minf")) { }
    void Write(BoxWriter& Writer) const;

    VmhdBox m_VmhdBox;
    SmhdBox m_SmhdBox;
    DinfBox m_DinfBox;
    StblBox m_StblBox;
};

struct MdiaBox : Box
{
    MdiaBox() noexcept : Box(MakeFourCc("mdia")) { }
    void Write(BoxWriter& Writer) const;

    MdhdBox m_MdhdBox;
    HdlrBox m_HdlrBox;
    MinfBox m_MinfBox;
};
} // namespace Mp4
