// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <vector>

#include "mp4/Mp4ProtectionSettings.h"
#include "mp4/Mp4TrackBuilder.h"

namespace Mp4
{
// The first write of a run: ftyp and moov.
class InitializationSegment
{
public:
    struct Track
    {
        TrackKind m_Kind = TrackKind::Video;
        std::uint32_t m_Timescale = 0;
        TrakBox m_TrakBox;
        TrexBox m_TrexBox;
    };

    // The movie timescale is that of the first video track, or of the first
    // track when there is no video. pssh boxes follow when protection is active.
    static std::vector<std::uint8_t> Build(std::vector<Track> const& TrackVector, ProtectionSettings const& Settings);
    // The same with the ftyp's compatible brands given (major brand isom).
    static std::vector<std::uint8_t> Build(std::vector<Track> const& TrackVector, ProtectionSettings const& Settings,
                                           std::vector<std::uint32_t> CompatibleBrandVector);
};
} // namespace Mp4
