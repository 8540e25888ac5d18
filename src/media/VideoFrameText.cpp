// SPDX-License-Identifier: GPL-2.0-or-later
#include "media/VideoFrameText.h"

#include <ctime>

#include "base/Check.h"
#include "base/MediaTime.h"
#include "base/MediaTimeText.h"
#include "base/MulDiv.h"
#include "base/StringFormat.h"
#include "media/SurroundSpeakers.h"

namespace Application
{
namespace
{
std::string WallClockText(std::int64_t FileTime)
{
    std::int64_t const UnixTime = FileTime - UnixEpochAbsoluteTime;
    auto const Seconds = static_cast<std::time_t>(MulDivFloor(UnixTime, 1, TimeUnitsPerSecond));
    std::int64_t const Remainder = UnixTime - static_cast<std::int64_t>(Seconds) * TimeUnitsPerSecond;
    std::tm Local{};
    CHECK_LINE(localtime_r(&Seconds, &Local) != nullptr);
    return StringFormat("%02u:%02u:%02u.%03u", static_cast<unsigned>(Local.tm_hour), static_cast<unsigned>(Local.tm_min),
                        static_cast<unsigned>(Local.tm_sec), static_cast<unsigned>(Remainder / 10000));
}
} // namespace

std::string VideoFrameText::FrameNumber(std::int64_t Index)
{
    return StringFormat("%lld", static_cast<long long>(Index));
}

std::string VideoFrameText::Time(std::int64_t Time, std::optional<std::int64_t> BaseLiveTime)
{
    return BaseLiveTime ? WallClockText(*BaseLiveTime + Time) : MediaTimeText(Time);
}

std::string VideoFrameText::Format(std::uint32_t Width, std::uint32_t Height, std::uint32_t RateN, std::uint32_t RateD, std::string_view Extra)
{
    std::string Size = StringFormat("%ux%u@%.2f", Width, Height, static_cast<double>(RateN) / RateD);
    if(Size.ends_with(".00"))
        Size.resize(Size.size() - 3);
    std::string Text = "(" + Size;
    if(!Extra.empty())
        Text.append("; ").append(Extra);
    return Text + ")";
}

std::string VideoFrameText::BreakNotice(BreakMoment const& Moment)
{
    if(Moment.During)
        return StringFormat("AD BREAK %lld/%lld s", static_cast<long long>(Moment.Seconds), static_cast<long long>(Moment.DurationSeconds));
    return StringFormat("AD BREAK IN %lld s", static_cast<long long>(Moment.Seconds));
}

std::string VideoFrameText::Advert(std::uint32_t Number, std::uint32_t Count)
{
    return StringFormat("AD %u of %u", Number, Count);
}

std::string VideoFrameText::Speaker(std::int64_t Time)
{
    return "SPEAKER " + std::string(SurroundSpeakers::Name(FloorDivide(Time, TimeUnitsPerSecond)));
}
} // namespace Application
