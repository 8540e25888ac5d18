// SPDX-License-Identifier: GPL-2.0-or-later
#include "mp4/Mp4StructureBoxes.h"

#include "base/Check.h"
#include "mp4/Mp4BoxWriter.h"

namespace Mp4
{
namespace
{
constexpr std::uint32_t FixedOne = 0x00010000;          // 1.0 in 16.16
constexpr std::uint32_t FixedMatrixW = 0x40000000;      // 1.0 in 2.30

void AppendUnityMatrix(BoxWriter& Writer)
{
    for(auto const Value : {FixedOne, 0u, 0u, 0u, FixedOne, 0u, 0u, 0u, FixedMatrixW})
        Writer.AppendU32(Value);
}
} // namespace

void FtypBox::Write(BoxWriter& Writer) const
{
    Writer.WriteBox(*this, [&] {
        Writer.AppendU32(m_MajorBrand);
        Writer.AppendU32(m_MinorVersion);
        for(auto const Brand : m_CompatibleBrandVector)
            Writer.AppendU32(Brand);
    });
}

void MehdBox::Write(BoxWriter& Writer) const
{
    Writer.WriteFullBox(*this, [&] {
        ASSERT(m_Version == 1 || !(m_FragmentDuration >> 32));
        if(m_Version == 1)
            Writer.AppendU64(m_FragmentDuration);
        else
            Writer.AppendU32(static_cast<std::uint32_t>(m_FragmentDuration));
    });
}

void MvhdBox::Write(BoxWriter& Writer) const
{
    Writer.WriteFullBox(*this, [&] {
        Writer.AppendU32(0); // creation_time
        Writer.AppendU32(0); // modification_time
        Writer.AppendU32(m_Timescale);
        Writer.AppendU32(0); // duration
        Writer.AppendU32(FixedOne); // rate
        Writer.AppendU16(TkhdBox::FullVolume);
        Writer.AppendZeros(10);
        AppendUnityMatrix(Writer);
        Writer.AppendZeros(24); // pre_defined
        Writer.AppendU32(m_NextTrackId);
    });
}

void TkhdBox::Write(BoxWriter& Writer) const
{
    Writer.WriteFullBox(*this, [&] {
        Writer.AppendU32(0); // creation_time
        Writer.AppendU32(0); // modification_time
        Writer.AppendU32(m_TrackId);
        Writer.AppendU32(0); // reserved
        Writer.AppendU32(0); // duration
        Writer.AppendZeros(8);
        Writer.AppendU16(0); // layer
        Writer.AppendU16(0); // alternate_group
        Writer.AppendU16(m_Volume);
        Writer.AppendU16(0);
        AppendUnityMatrix(Writer);
        Writer.AppendU32(static_cast<std::uint32_t>(m_Width) << 16);
        Writer.AppendU32(static_cast<std::uint32_t>(m_Height) << 16);
    });
}

void TrexBox::Write(BoxWriter& Writer) const
{
    Writer.WriteFullBox(*this, [&] {
        Writer.AppendU32(m_TrackId);
        Writer.AppendU32(m_DefaultSampleDescriptionIndex);
        Writer.AppendU32(m_DefaultSampleDuration);
        Writer.AppendU32(m_DefaultSampleSize);
        Writer.AppendU32(m_DefaultSampleFlags);
    });
}

void MvexBox::Write(BoxWriter& Writer) const
{
    Writer.WriteBox(*this, [&] {
        m_MehdBox.Write(Writer);
        for(auto const& TrexBox : m_TrexBoxList)
            TrexBox.Write(Writer);
    });
}

void ElstBox::Write(BoxWriter& Writer) const
{
    Writer.WriteFullBox(*this, [&] {
        ASSERT(m_Version == 0);
        Writer.AppendU32(1);
        Writer.AppendU32(m_SegmentDuration);
        Writer.AppendU32(static_cast<std::uint32_t>(m_MediaTime));
        Writer.AppendU16(1); // media_rate_integer
        Writer.AppendU16(0); // media_rate_fraction
    });
}

void EdtsBox::Write(BoxWriter& Writer) const
{
    Writer.WriteBox(*this, [&] { m_ElstBox.Write(Writer); });
}

void TrakBox::Write(BoxWriter& Writer) const
{
    Writer.WriteBox(*this, [&] {
        m_TkhdBox.Write(Writer);
        m_EdtsBox.Write(Writer);
        m_MdiaBox.Write(Writer);
    });
}

void MoovBox::Write(BoxWriter& Writer) const
{
    Writer.WriteBox(*this, [&] {
        m_MvhdBox.Write(Writer);
        for(auto const& TrakBox : m_TrakBoxList)
            TrakBox.Write(Writer);
        m_MvexBox.Write(Writer);
        for(auto const& PsshBox : m_PsshBoxList)
            PsshBox.Write(Writer);
    });
}

void MdhdBox::Write(BoxWriter& Writer) const
{
    Writer.WriteFullBox(*this, [&] {
        Writer.AppendU32(0); // creation_time
        Writer.AppendU32(0); // modification_time
        Writer.AppendU32(m_Timescale);
        Writer.AppendU32(0); // duration
        Writer.AppendU16(m_Language);
        Writer.AppendU16(0);
    });
}

void ElngBox::Write(BoxWriter& Writer) const
{
    Writer.WriteFullBox(*this, [&] { Writer.AppendString(m_ExtendedLanguage); });
}

void HdlrBox::Write(BoxWriter& Writer) const
{
    Writer.WriteFullBox(*this, [&] {
        Writer.AppendU32(0);
        Writer.AppendU32(m_HandlerType);
        Writer.AppendZeros(3 * 4);
        Writer.AppendString(m_Name);
    });
}

void VmhdBox::Write(BoxWriter& Writer) const
{
    Writer.WriteFullBox(*this, [&] { Writer.AppendZeros(2 + 3 * 2); });
}

void SmhdBox::Write(BoxWriter& Writer) const
{
    Writer.WriteFullBox(*this, [&] { Writer.AppendZeros(2 + 2); });
}

void SthdBox::Write(BoxWriter& Writer) const
{
    Writer.WriteFullBox(*this, [] { });
}

void DinfBox::Write(BoxWriter& Writer) const
{
    Writer.WriteBox(*this, [&] {
        FullBox DrefBox(MakeFourCc("dref"));
        DrefBox.SetPresent();
        Writer.WriteFullBox(DrefBox, [&] {
            Writer.AppendU32(1);
            // flags 1: the media is in the same file
            FullBox UrlBox(MakeFourCc("url "), 0, 1);
            UrlBox.SetPresent();
            Writer.WriteFullBox(UrlBox, [] { });
        });
    });
}

void StsdBox::Write(BoxWriter& Writer) const
{
    Writer.WriteFullBox(*this, [&] {
        Writer.AppendU32(1);
        m_Avc1Box.Write(Writer);
        m_Hvc1Box.Write(Writer);
        m_Av01Box.Write(Writer);
        m_Vp09Box.Write(Writer);
        m_Mp4aBox.Write(Writer);
        m_FlacBox.Write(Writer);
        m_OpusBox.Write(Writer);
        m_Ac3Box.Write(Writer);
        m_Ec3Box.Write(Writer);
        m_StppBox.Write(Writer);
        m_WvttBox.Write(Writer);
    });
}

void EmptyTableBox::Write(BoxWriter& Writer) const
{
    Writer.WriteFullBox(*this, [&] { Writer.AppendU32(0); }); // entry_count
}

void StszBox::Write(BoxWriter& Writer) const
{
    Writer.WriteFullBox(*this, [&] {
        Writer.AppendU32(0); // sample_size
        Writer.AppendU32(0); // sample_count
    });
}

void StblBox::Write(BoxWriter& Writer) const
{
    Writer.WriteBox(*this, [&] {
        m_StsdBox.Write(Writer);
        m_SttsBox.Write(Writer);
        m_StscBox.Write(Writer);
        m_StszBox.Write(Writer);
        m_StcoBox.Write(Writer);
        m_StssBox.Write(Writer);
        m_RollSgpdBox.Write(Writer);
        m_RollSbgpBox.Write(Writer);
    });
}

void RollSgpdBox::Write(BoxWriter& Writer) const
{
    Writer.WriteFullBox(*this, [&] {
        Writer.AppendU32(MakeFourCc("roll"));
        Writer.AppendU32(2); // default_length: one signed 16-bit field
        Writer.AppendU32(1);
        Writer.AppendU16(static_cast<std::uint16_t>(m_RollDistance));
    });
}

void MinfBox::Write(BoxWriter& Writer) const
{
    Writer.WriteBox(*this, [&] {
        m_VmhdBox.Write(Writer);
        m_SmhdBox.Write(Writer);
        m_SthdBox.Write(Writer);
        m_DinfBox.Write(Writer);
        m_StblBox.Write(Writer);
    });
}

void MdiaBox::Write(BoxWriter& Writer) const
{
    Writer.WriteBox(*this, [&] {
        m_MdhdBox.Write(Writer);
        m_ElngBox.Write(Writer);
        m_HdlrBox.Write(Writer);
        m_MinfBox.Write(Writer);
    });
}
} // namespace Mp4
