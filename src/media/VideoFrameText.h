// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "media/BreakMoment.h"

namespace Application
{
// The three texts drawn into every frame, and those of ad breaks and ads.
class VideoFrameText
{
public:
    // The first line: the frame index in decimal.
    static std::string FrameNumber(std::int64_t Index);
    // The second line: the presentation time as "HH:MM:SS.mmm uuuu" (hours
    // uncapped, the last four digits the 100-ns remainder, "-" before a
    // negative time); with a base live time, the wall-clock (local) time of the
    // frame as "HH:MM:SS.mmm". Times are 100-ns units, BaseLiveTime on the
    // 1601-01-01 UTC scale.
    static std::string Time(std::int64_t Time, std::optional<std::int64_t> BaseLiveTime);
    // The third line: "(1280x720@25)", "(1280x720@29.97; Extra)".
    static std::string Format(std::uint32_t Width, std::uint32_t Height, std::uint32_t RateN, std::uint32_t RateD, std::string_view Extra);
    // The notice of an ad break: "AD BREAK IN 3 s" before it, "AD BREAK 2/10 s"
    // in its second second.
    static std::string BreakNotice(BreakMoment const& Moment);
    // The speaker sounding at Time in 5.1 audio ("ch=6"): "SPEAKER front left".
    static std::string Speaker(std::int64_t Time);
    // The picture of an ad: "AD 1 of 3".
    static std::string Advert(std::uint32_t Number, std::uint32_t Count);
};
} // namespace Application
