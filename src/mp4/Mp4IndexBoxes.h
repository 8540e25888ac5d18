// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "mp4/Mp4Box.h"

namespace Mp4
{
// Segment index. The packager's segments do not carry one; the box is here for
// tools that index a run of fragments.
struct SidxBox : FullBox
{
    struct Reference
    {
        std::uint32_t m_ReferenceType = 0; // 1 bit
        std::uint32_t m_ReferenceSize = 0; // 31 bits
        std::uint32_t m_SubsegmentDuration = 0;
        std::uint32_t m_SapStart = 0;     // 1 bit
        std::uint32_t m_SapType = 0;      // 3 bits
        std::uint32_t m_SapDeltaTime = 0; // 28 bits
    };

    SidxBox() noexcept : FullBox(MakeFourCc("sidx")) { }
    void Write(BoxWriter& Writer) const;

    std::uint32_t m_ReferenceId = 0;
    std::uint32_t m_Timescale = 0;
    std::uint64_t m_EarliestPresentationTime = 0; // 32 bits in version 0
    std::uint64_t m_FirstOffset = 0;              // 32 bits in version 0
    std::vector<Reference> m_ReferenceVector;
};
} // namespace Mp4
