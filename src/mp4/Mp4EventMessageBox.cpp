// SPDX-License-Identifier: GPL-2.0-or-later
#include "mp4/Mp4EventMessageBox.h"

#include "base/Check.h"
#include "mp4/Mp4BoxWriter.h"

namespace Mp4
{
std::size_t EventMessageBox::GetSize() const noexcept
{
    if(!IsPresent())
        return 0;
    return FullBoxHeaderSize + 4 + 8 + 4 + 4 + m_SchemeIdUri.size() + 1 + m_Value.size() + 1 + m_MessageData.size();
}

void EventMessageBox::Write(BoxWriter& Writer) const
{
    Writer.WriteFullBox(*this, [&] {
        // Version 0 orders the fields differently (strings first, a time
        // delta); only version 1 is written.
        CHECK_ARGUMENT(m_Version == 1);
        CHECK_ARGUMENT(m_Timescale != 0);
        // The strings end at their first zero: an embedded one would shift
        // every field a reader finds after it.
        CHECK_ARGUMENT(m_SchemeIdUri.find('\0') == std::string::npos && m_Value.find('\0') == std::string::npos);
        Writer.AppendU32(m_Timescale);
        Writer.AppendU64(m_PresentationTime);
        Writer.AppendU32(m_EventDuration);
        Writer.AppendU32(m_Id);
        Writer.AppendString(m_SchemeIdUri);
        Writer.AppendString(m_Value);
        Writer.AppendBytes(m_MessageData);
    });
}
} // namespace Mp4
