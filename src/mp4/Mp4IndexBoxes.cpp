// SPDX-License-Identifier: GPL-2.0-or-later
#include "mp4/Mp4IndexBoxes.h"

#include "base/Check.h"
#include "mp4/Mp4BoxWriter.h"

namespace Mp4
{
void SidxBox::Write(BoxWriter& Writer) const
{
    Writer.WriteFullBox(*this, [&] {
        if(m_Version == 0)
        {
            ASSERT(!(m_EarliestPresentationTime >> 32));
            ASSERT(!(m_FirstOffset >> 32));
        }
        for(auto const& Reference : m_ReferenceVector)
        {
            ASSERT(!(Reference.m_ReferenceType & ~0x01));
            ASSERT(!(Reference.m_ReferenceSize & ~0x7FFFFFFF));
            ASSERT(!(Reference.m_SapStart & ~0x01));
            ASSERT(!(Reference.m_SapType & ~0x07));
            ASSERT(!(Reference.m_SapDeltaTime & ~0x0FFFFFFF));
        }
        ASSERT(m_ReferenceVector.size() <= 0xFFFF);
        Writer.AppendU32(m_ReferenceId);
        Writer.AppendU32(m_Timescale);
        if(m_Version == 0)
        {
            Writer.AppendU32(static_cast<std::uint32_t>(m_EarliestPresentationTime));
            Writer.AppendU32(static_cast<std::uint32_t>(m_FirstOffset));
        }
        else
        {
            Writer.AppendU64(m_EarliestPresentationTime);
            Writer.AppendU64(m_FirstOffset);
        }
        Writer.AppendU16(0);
        Writer.AppendU16(static_cast<std::uint16_t>(m_ReferenceVector.size()));
        for(auto const& Reference : m_ReferenceVector)
        {
            Writer.AppendU32(Reference.m_ReferenceType << 31 | Reference.m_ReferenceSize);
            Writer.AppendU32(Reference.m_SubsegmentDuration);
            Writer.AppendU32(Reference.m_SapStart << 31 | Reference.m_SapType << 28 | Reference.m_SapDeltaTime);
        }
    });
}
} // namespace Mp4
