// SPDX-License-Identifier: GPL-2.0-or-later
#include "presentation/SubtitleCues.h"

#include "base/Check.h"
#include "base/MediaTime.h"
#include "base/StringFormat.h"
#include "presentation/LanguageTag.h"
#include "presentation/Timeline.h"

namespace Application
{
SubtitleCues::SubtitleCues(std::string Language, std::int64_t CueDuration, std::int64_t SegmentDuration, std::optional<std::int64_t> BaseLiveTime) :
    m_Language(std::move(Language)),
    m_Name(LanguageTag::NativeName(m_Language)),
    m_CueDuration(CueDuration),
    m_SegmentDuration(SegmentDuration),
    m_BaseLiveTime(BaseLiveTime)
{
    CHECK_ARGUMENT(CueDuration > 0 && CueDuration <= TimeUnitsPerSecond && SegmentDuration > 0);
}

SubtitleCue SubtitleCues::At(std::int64_t Second) const
{
    SubtitleCue Cue;
    Cue.Start = Second * TimeUnitsPerSecond;
    Cue.End = Cue.Start + m_CueDuration;
    // The segment the cue starts in, whichever segment carries it.
    auto const Segment = static_cast<long long>(Cue.Start / m_SegmentDuration);
    Cue.Text.reserve(64);
    Cue.Text.append(m_Name).append(1, '\n').append(TimeText(Cue.Start)).append(StringFormat(" segment %lld", Segment));
    if(m_BaseLiveTime)
        Cue.Text.append(1, '\n').append(Timeline::FormatProgramDateTime(*m_BaseLiveTime + Cue.Start));
    return Cue;
}

std::vector<SubtitleCue> SubtitleCues::Between(std::int64_t Start, std::int64_t End) const
{
    std::vector<SubtitleCue> Cues;
    if(End <= Start)
        return Cues;
    // A cue lasts at most a second: the first one shown in the span starts in
    // the second before Start at the earliest.
    std::int64_t Second = Start / TimeUnitsPerSecond;
    if(Second * TimeUnitsPerSecond + m_CueDuration <= Start)
        ++Second;
    for(; Second * TimeUnitsPerSecond < End; ++Second)
        Cues.push_back(At(Second));
    return Cues;
}

std::vector<SubtitleCue> SubtitleCues::OfSegment(std::uint32_t Index) const
{
    return Between(SegmentStart(Index), SegmentEnd(Index));
}

std::string SubtitleCues::TimeText(std::int64_t Time)
{
    CHECK_ARGUMENT(Time >= 0);
    auto const Milliseconds = Time / (TimeUnitsPerSecond / 1000);
    return StringFormat("%02lld:%02lld:%02lld.%03lld", static_cast<long long>(Milliseconds / 3'600'000), static_cast<long long>(Milliseconds / 60'000 % 60),
                        static_cast<long long>(Milliseconds / 1000 % 60), static_cast<long long>(Milliseconds % 1000));
}
} // namespace Application
