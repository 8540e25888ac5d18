// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "media/VideoEncoderSettings.h"

namespace Application
{
// The caption bytes of each picture of a track: the cc_data() structure of
// ATSC A/53 (the part of the GA94 user data after user_data_type_code 3),
// made from the picture's media time alone, so that any run of pictures
// (a segment, a part) carries the same bytes.
//
// The caption of media second S reads "CC1 hh:mm:ss" and shows from the
// first picture of S to the first of S + 1. CEA-608 (CC1, pop-on): the first
// picture of S carries end of caption, sent twice, and the next pictures
// load the caption of S + 1, one byte pair each (more at frame rates too low
// to fit the load in a second); the rest carry padding. CEA-708 (service 1,
// with Cea608And708): the first picture of S carries one DTVCC packet with
// the caption of S, after the 608 pair as A/53 orders them.
class CaptionData
{
public:
    using Services = VideoEncoderSettings::CaptionServices;

    CaptionData(Services Kind, std::uint32_t RateN, std::uint32_t RateD);

    // The caption of media second Second.
    static std::string Text(std::int64_t Second);

    // Time: the picture's presentation time in 100-ns units from the start
    // of the timeline, on the frame grid.
    std::vector<std::uint8_t> ForPicture(std::int64_t Time) const;

private:
    struct Triplet
    {
        std::uint8_t Type;
        std::uint8_t First;
        std::uint8_t Second;
    };

    void Add608(std::int64_t Second, std::int64_t Position, std::vector<Triplet>& Triplets) const;

    Services m_Kind;
    std::uint32_t m_RateN;
    std::uint32_t m_RateD;
    // The fewest pictures any media second has.
    std::int64_t m_MinimalFramesPerSecond;
};
} // namespace Application
