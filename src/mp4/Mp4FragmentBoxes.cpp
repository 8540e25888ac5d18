// SPDX-License-Identifier: GPL-2.0-or-later
#include "mp4/Mp4FragmentBoxes.h"

#include <bit>
#include <limits>

#include "base/Check.h"
#include "mp4/Mp4BoxWriter.h"

namespace Mp4
{
std::size_t MfhdBox::GetSize() const noexcept { return IsPresent() ? FullBoxHeaderSize + 4 : 0; }

void MfhdBox::Write(BoxWriter& Writer) const
{
    Writer.WriteFullBox(*this, [&] { Writer.AppendU32(m_SequenceNumber); });
}

std::size_t TfhdBox::GetSize() const noexcept
{
    if(!IsPresent())
        return 0;
    std::size_t const OptionalWords = static_cast<std::size_t>(std::popcount(m_Flags & (SampleDescriptionIndexPresent | DefaultSampleDurationPresent | DefaultSampleSizePresent | DefaultSampleFlagsPresent)));
    return FullBoxHeaderSize + 4 + (m_Flags & BaseDataOffsetPresent ? 8 : 0) + 4 * OptionalWords;
}

void TfhdBox::Write(BoxWriter& Writer) const
{
    Writer.WriteFullBox(*this, [&] {
        Writer.AppendU32(m_TrackId);
        if(m_Flags & BaseDataOffsetPresent)
            Writer.AppendU64(m_BaseDataOffset);
        if(m_Flags & SampleDescriptionIndexPresent)
            Writer.AppendU32(m_SampleDescriptionIndex);
        if(m_Flags & DefaultSampleDurationPresent)
            Writer.AppendU32(m_DefaultSampleDuration);
        if(m_Flags & DefaultSampleSizePresent)
            Writer.AppendU32(m_DefaultSampleSize);
        if(m_Flags & DefaultSampleFlagsPresent)
            Writer.AppendU32(m_DefaultSampleFlags);
    });
}

std::size_t TfdtBox::GetSize() const noexcept { return IsPresent() ? FullBoxHeaderSize + (m_Version == 1 ? 8 : 4) : 0; }

void TfdtBox::Write(BoxWriter& Writer) const
{
    Writer.WriteFullBox(*this, [&] {
        ASSERT(m_Version == 1 || !(m_BaseMediaDecodeTime >> 32));
        if(m_Version == 1)
            Writer.AppendU64(m_BaseMediaDecodeTime);
        else
            Writer.AppendU32(static_cast<std::uint32_t>(m_BaseMediaDecodeTime));
    });
}

std::size_t TrunBox::GetSize() const noexcept
{
    if(!IsPresent())
        return 0;
    std::size_t const WordsPerSample = static_cast<std::size_t>(std::popcount(m_Flags & (SampleDurationPresent | SampleSizePresent | SampleFlagsPresent | SampleCompositionTimeOffsetPresent)));
    std::size_t const OptionalWords = static_cast<std::size_t>(std::popcount(m_Flags & (DataOffsetPresent | FirstSampleFlagsPresent)));
    return FullBoxHeaderSize + 4 + 4 * OptionalWords + 4 * WordsPerSample * m_SampleVector.size();
}

void TrunBox::Write(BoxWriter& Writer) const
{
    Writer.WriteFullBox(*this, [&] {
        Writer.AppendU32(static_cast<std::uint32_t>(m_SampleVector.size()));
        if(m_Flags & DataOffsetPresent)
            Writer.AppendU32(static_cast<std::uint32_t>(m_DataOffset));
        if(m_Flags & FirstSampleFlagsPresent)
            Writer.AppendU32(m_FirstSampleFlags);
        for(auto const& Sample : m_SampleVector)
        {
            if(m_Flags & SampleDurationPresent)
                Writer.AppendU32(Sample.m_Duration);
            if(m_Flags & SampleSizePresent)
                Writer.AppendU32(Sample.m_Size);
            if(m_Flags & SampleFlagsPresent)
                Writer.AppendU32(Sample.m_Flags);
            if(m_Flags & SampleCompositionTimeOffsetPresent)
            {
                // A negative offset only has a meaning in version 1; in version 0 it would wrap.
                if(m_Version == 0)
                    ASSERT(Sample.m_CompositionTimeOffset >= 0 && Sample.m_CompositionTimeOffset <= std::numeric_limits<std::uint32_t>::max());
                else
                    ASSERT(Sample.m_CompositionTimeOffset >= std::numeric_limits<std::int32_t>::min() && Sample.m_CompositionTimeOffset <= std::numeric_limits<std::int32_t>::max());
                Writer.AppendU32(static_cast<std::uint32_t>(Sample.m_CompositionTimeOffset));
            }
        }
    });
}

std::size_t SaizBox::GetSize() const noexcept
{
    if(!IsPresent())
        return 0;
    return FullBoxHeaderSize + (m_Flags & 1 ? 8 : 0) + 1 + 4 + (m_DefaultSampleInfoSize == 0 ? m_SampleVector.size() : 0);
}

void SaizBox::Write(BoxWriter& Writer) const
{
    Writer.WriteFullBox(*this, [&] {
        ASSERT(m_SampleVector.empty() || m_SampleVector.size() == m_SampleCount);
        ASSERT(m_DefaultSampleInfoSize == 0 || m_SampleVector.empty());
        ASSERT(m_DefaultSampleInfoSize != 0 || m_SampleVector.size() == m_SampleCount);
        if(m_Flags & 1)
        {
            Writer.AppendU32(m_AuxInfoType);
            Writer.AppendU32(m_AuxInfoTypeParameter);
        }
        Writer.AppendU8(m_DefaultSampleInfoSize);
        Writer.AppendU32(m_SampleCount);
        if(m_DefaultSampleInfoSize == 0)
            Writer.AppendBytes(m_SampleVector);
    });
}

std::size_t SaioBox::GetSize() const noexcept
{
    if(!IsPresent())
        return 0;
    return FullBoxHeaderSize + (m_Flags & 1 ? 8 : 0) + 4 + (m_Version == 0 ? 4 : 8) * m_OffsetVector.size();
}

void SaioBox::Write(BoxWriter& Writer) const
{
    Writer.WriteFullBox(*this, [&] {
        if(m_Flags & 1)
        {
            Writer.AppendU32(m_AuxInfoType);
            Writer.AppendU32(m_AuxInfoTypeParameter);
        }
        Writer.AppendU32(static_cast<std::uint32_t>(m_OffsetVector.size()));
        for(auto const Offset : m_OffsetVector)
        {
            if(m_Version == 0)
            {
                ASSERT(!(Offset >> 32));
                Writer.AppendU32(static_cast<std::uint32_t>(Offset));
            }
            else
                Writer.AppendU64(Offset);
        }
    });
}

std::size_t SencBox::GetSampleInfoSize(Sample const& Value) const noexcept
{
    std::size_t Size = m_PerSampleIvSize;
    if(m_Flags & UseSubsampleEncryption)
        Size += 2 + 6 * Value.m_SubsampleVector.size();
    return Size;
}

std::size_t SencBox::GetSize() const noexcept
{
    if(!IsPresent())
        return 0;
    std::size_t Size = FullBoxHeaderSize + 4;
    for(auto const& Sample : m_SampleVector)
        Size += GetSampleInfoSize(Sample);
    return Size;
}

void SencBox::Write(BoxWriter& Writer) const
{
    Writer.WriteFullBox(*this, [&] {
        Writer.AppendU32(static_cast<std::uint32_t>(m_SampleVector.size()));
        for(auto const& Sample : m_SampleVector)
        {
            ASSERT(Sample.m_InitializationVector.size() == m_PerSampleIvSize);
            Writer.AppendBytes(Sample.m_InitializationVector);
            if(!(m_Flags & UseSubsampleEncryption))
                continue;
            ASSERT(Sample.m_SubsampleVector.size() <= 0xFFFF);
            Writer.AppendU16(static_cast<std::uint16_t>(Sample.m_SubsampleVector.size()));
            for(auto const& Subsample : Sample.m_SubsampleVector)
            {
                Writer.AppendU16(Subsample.m_BytesOfClearData);
                Writer.AppendU32(Subsample.m_BytesOfProtectedData);
            }
        }
    });
}

std::size_t SbgpBox::GetSize() const noexcept
{
    return IsPresent() ? FullBoxHeaderSize + 4 + 4 + 8 * m_EntryVector.size() : 0;
}

void SbgpBox::Write(BoxWriter& Writer) const
{
    Writer.WriteFullBox(*this, [&] {
        // Version 0: no grouping_type_parameter.
        ASSERT(m_Version == 0);
        Writer.AppendU32(m_GroupingType);
        Writer.AppendU32(static_cast<std::uint32_t>(m_EntryVector.size()));
        for(auto const& Entry : m_EntryVector)
        {
            Writer.AppendU32(Entry.m_SampleCount);
            Writer.AppendU32(Entry.m_GroupDescriptionIndex);
        }
    });
}

std::uint32_t SgpdBox::GetDefaultLength() const noexcept
{
    if(m_EntryVector.empty())
        return 0;
    std::size_t const Length = m_EntryVector.front().GetSize();
    for(auto const& Entry : m_EntryVector)
        if(Entry.GetSize() != Length)
            return 0;
    return static_cast<std::uint32_t>(Length);
}

std::size_t SgpdBox::GetSize() const noexcept
{
    if(!IsPresent())
        return 0;
    std::size_t Size = FullBoxHeaderSize + 4 + 4 + 4;
    bool const Lengths = GetDefaultLength() == 0;
    for(auto const& Entry : m_EntryVector)
        Size += (Lengths ? 4 : 0) + Entry.GetSize();
    return Size;
}

void SgpdBox::Write(BoxWriter& Writer) const
{
    Writer.WriteFullBox(*this, [&] {
        // Version 1 only: version 0 is deprecated, and 2 adds a default index
        // this box has no use for.
        ASSERT(m_Version == 1);
        std::uint32_t const DefaultLength = GetDefaultLength();
        Writer.AppendU32(m_GroupingType);
        Writer.AppendU32(DefaultLength);
        Writer.AppendU32(static_cast<std::uint32_t>(m_EntryVector.size()));
        for(auto const& Entry : m_EntryVector)
        {
            if(DefaultLength == 0)
                Writer.AppendU32(static_cast<std::uint32_t>(Entry.GetSize()));
            ASSERT(Entry.m_ConstantIvSize <= std::size(Entry.m_ConstantIv));
            Writer.AppendU8(0);
            Writer.AppendU8(static_cast<std::uint8_t>((Entry.m_CryptByteBlock & 0x0F) << 4 | (Entry.m_SkipByteBlock & 0x0F)));
            Writer.AppendU8(Entry.m_IsProtected);
            Writer.AppendU8(Entry.m_PerSampleIvSize);
            Writer.AppendBytes(Entry.m_Kid);
            if(Entry.HasConstantIv())
            {
                Writer.AppendU8(Entry.m_ConstantIvSize);
                Writer.AppendBytes({Entry.m_ConstantIv.data(), Entry.m_ConstantIvSize});
            }
        }
    });
}

std::size_t TrafBox::GetSize() const noexcept
{
    if(!IsPresent())
        return 0;
    return BoxHeaderSize + m_TfhdBox.GetSize() + m_TfdtBox.GetSize() + m_TrunBox.GetSize() + m_RollSbgpBox.GetSize() + m_SbgpBox.GetSize() + m_SgpdBox.GetSize() + m_SaizBox.GetSize() + m_SaioBox.GetSize() + m_SencBox.GetSize();
}

void TrafBox::Write(BoxWriter& Writer) const
{
    Writer.WriteBox(*this, [&] {
        m_TfhdBox.Write(Writer);
        m_TfdtBox.Write(Writer);
        m_TrunBox.Write(Writer);
        m_RollSbgpBox.Write(Writer);
        m_SbgpBox.Write(Writer);
        m_SgpdBox.Write(Writer);
        m_SaizBox.Write(Writer);
        m_SaioBox.Write(Writer);
        m_SencBox.Write(Writer);
    });
}

std::size_t MoofBox::GetSize() const noexcept
{
    if(!IsPresent())
        return 0;
    std::size_t Size = BoxHeaderSize + m_MfhdBox.GetSize();
    for(auto const& Pssh : m_PsshBoxList)
        Size += Pssh.GetSize();
    for(auto const& TrafBox : m_TrafBoxList)
        Size += TrafBox.GetSize();
    return Size;
}

void MoofBox::Write(BoxWriter& Writer) const
{
    Writer.WriteBox(*this, [&] {
        m_MfhdBox.Write(Writer);
        for(auto const& Pssh : m_PsshBoxList)
            Pssh.Write(Writer);
        for(auto const& TrafBox : m_TrafBoxList)
            TrafBox.Write(Writer);
    });
}

void MdatBox::Write(BoxWriter& Writer) const
{
    Writer.WriteBox(*this, [&] {
        for(auto const Range : m_RangeVector)
            Writer.AppendBytes(Range);
    });
}
} // namespace Mp4
