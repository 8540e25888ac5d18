// SPDX-License-Identifier: GPL-2.0-or-later
#include "mp4/Mp4ProtectionBoxes.h"

#include "base/Check.h"
#include "mp4/Mp4BoxWriter.h"

namespace Mp4
{
void FrmaBox::Write(BoxWriter& Writer) const
{
    Writer.WriteBox(*this, [&] { Writer.AppendU32(m_DataFormat); });
}

void SchmBox::Write(BoxWriter& Writer) const
{
    Writer.WriteFullBox(*this, [&] {
        Writer.AppendU32(m_SchemeType);
        Writer.AppendU32(m_SchemeVersion);
        if(m_Flags & 1)
            Writer.AppendString(m_SchemeUri);
    });
}

void TencBox::Write(BoxWriter& Writer) const
{
    Writer.WriteFullBox(*this, [&] {
        ASSERT(m_DefaultConstantIvSize <= std::size(m_DefaultConstantIv));
        Writer.AppendU8(0);
        Writer.AppendU8(m_Version == 0 ? 0 : static_cast<std::uint8_t>((m_DefaultCryptByteBlock & 0x0F) << 4 | (m_DefaultSkipByteBlock & 0x0F)));
        Writer.AppendU8(m_DefaultIsProtected);
        Writer.AppendU8(m_DefaultPerSampleIvSize);
        Writer.AppendBytes(m_DefaultKid);
        if(m_DefaultIsProtected && m_DefaultPerSampleIvSize == 0)
        {
            Writer.AppendU8(m_DefaultConstantIvSize);
            Writer.AppendBytes({m_DefaultConstantIv.data(), m_DefaultConstantIvSize});
        }
    });
}

void SchiBox::Write(BoxWriter& Writer) const
{
    Writer.WriteBox(*this, [&] { m_TencBox.Write(Writer); });
}

void SinfBox::Write(BoxWriter& Writer) const
{
    Writer.WriteBox(*this, [&] {
        m_FrmaBox.Write(Writer);
        m_SchmBox.Write(Writer);
        m_SchiBox.Write(Writer);
    });
}

std::size_t PsshBox::GetSize() const noexcept
{
    if(!IsPresent())
        return 0;
    return FullBoxHeaderSize + 16 + (m_Version > 0 ? 4 + 16 * m_KidVector.size() : 0) + 4 + m_Data.size();
}

void PsshBox::Write(BoxWriter& Writer) const
{
    Writer.WriteFullBox(*this, [&] {
        Writer.AppendBytes(m_SystemId);
        if(m_Version > 0)
        {
            Writer.AppendU32(static_cast<std::uint32_t>(m_KidVector.size()));
            for(auto const& Kid : m_KidVector)
                Writer.AppendBytes(Kid);
        }
        Writer.AppendU32(static_cast<std::uint32_t>(m_Data.size()));
        Writer.AppendBytes(m_Data);
    });
}
} // namespace Mp4
