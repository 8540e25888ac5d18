// SPDX-License-Identifier: GPL-2.0-or-later
#include "presentation/WebVttWriter.h"

#include "base/MediaTime.h"
#include "base/MulDiv.h"
#include "base/StringFormat.h"
#include "presentation/SubtitleCues.h"

namespace Application
{
std::int64_t WebVttWriter::MpegTime(std::int64_t Time) noexcept
{
    return MulDivFloor(Time, MpegTimescale, TimeUnitsPerSecond) % MpegTimeModulus;
}

std::string WebVttWriter::CueSettings(bool Top)
{
    return Top ? "line:0" : "";
}

std::string WebVttWriter::CueIdentifier(SubtitleCue const& Cue)
{
    return StringFormat("%lld", static_cast<long long>(Cue.Start / TimeUnitsPerSecond));
}

std::string WebVttWriter::Segment(std::vector<SubtitleCue> const& Cues, std::int64_t SegmentStart, std::int64_t SegmentEnd, bool Top)
{
    std::string Text = "WEBVTT\n";
    Text += StringFormat("X-TIMESTAMP-MAP=MPEGTS:%lld,LOCAL:00:00:00.000\n", static_cast<long long>(MpegTime(SegmentStart)));
    auto const Settings = CueSettings(Top);
    for(auto const& Cue : Cues)
    {
        if(Cue.Start < SegmentStart || Cue.Start >= SegmentEnd)
            continue;
        Text.append(1, '\n').append(CueIdentifier(Cue)).append(1, '\n');
        Text.append(SubtitleCues::TimeText(Cue.Start - SegmentStart)).append(" --> ").append(SubtitleCues::TimeText(Cue.End - SegmentStart));
        if(!Settings.empty())
            Text.append(1, ' ').append(Settings);
        Text.append(1, '\n').append(Cue.Text).append(1, '\n');
    }
    return Text;
}
} // namespace Application
