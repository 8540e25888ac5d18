// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <string>

#include "mp4/Mp4Box.h"

namespace Mp4
{
// Event message ("emsg", version 1): an in-band event carried in a media
// segment ahead of its moof. Version 1 gives the event's presentation time on
// the timeline of the track rather than as a delta from the segment's
// earliest time, so the same event written into two segments (its own and
// one ahead of it) reads the same in both.
struct EventMessageBox : FullBox
{
    // The event's end is not known yet.
    static constexpr std::uint32_t UnknownDuration = 0xFFFFFFFF;

    EventMessageBox() noexcept : FullBox(MakeFourCc("emsg"), 1) { }
    void Write(BoxWriter& Writer) const;
    std::size_t GetSize() const noexcept;

    std::string m_SchemeIdUri;
    std::string m_Value;
    std::uint32_t m_Timescale = 0;
    std::uint64_t m_PresentationTime = 0;
    std::uint32_t m_EventDuration = UnknownDuration;
    std::uint32_t m_Id = 0;
    std::vector<std::uint8_t> m_MessageData;
};
} // namespace Mp4
