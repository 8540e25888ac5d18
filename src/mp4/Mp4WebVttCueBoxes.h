// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "mp4/Mp4TextSampleEntryBoxes.h"

// The content of a wvtt sample: one 'vttc' per cue shown for the sample's
// whole time, or one 'vtte' when none is.
namespace Mp4
{
struct VttcBox : Box
{
    VttcBox() noexcept : Box(MakeFourCc("vttc")) { }
    void Write(BoxWriter& Writer) const;

    BoxStringBox m_IdenBox{MakeFourCc("iden")};
    BoxStringBox m_SttgBox{MakeFourCc("sttg")};
    BoxStringBox m_PaylBox{MakeFourCc("payl")};
};

// An empty cue: the time of the sample shows no text.
struct VtteBox : Box
{
    VtteBox() noexcept : Box(MakeFourCc("vtte")) { }
    void Write(BoxWriter& Writer) const;
};
} // namespace Mp4
