// SPDX-License-Identifier: GPL-2.0-or-later
#include "mp4/Mp4WebVttCueBoxes.h"

#include "mp4/Mp4BoxWriter.h"

namespace Mp4
{
void VttcBox::Write(BoxWriter& Writer) const
{
    Writer.WriteBox(*this, [&] {
        m_IdenBox.Write(Writer);
        m_SttgBox.Write(Writer);
        m_PaylBox.Write(Writer);
    });
}

void VtteBox::Write(BoxWriter& Writer) const
{
    Writer.WriteBox(*this, [] { });
}
} // namespace Mp4
