// SPDX-License-Identifier: GPL-2.0-or-later
#include "media/SegmentWindow.h"

#include "base/Check.h"
#include "base/MulDiv.h"
#include "media/AacEncoder.h"
#include "media/AacEncoderTransform.h"
#include "media/AudioSampleGrid.h"
#include "media/FlacEncoder.h"
#include "media/VideoFrameGrid.h"

namespace Application
{
SegmentWindow SegmentWindow::ForVideo(VideoVariant const& Variant, std::optional<std::uint32_t> Index)
{
    CHECK_ARGUMENT(Variant.SegmentDuration > 0 && Variant.FrameRateN > 0 && Variant.FrameRateD > 0);
    SegmentWindow Window;
    Window.Start = Index ? static_cast<std::int64_t>(*Index) * Variant.SegmentDuration : 0;
    Window.End = Index ? Window.Start + Variant.SegmentDuration : VideoHeaderDuration;
    // The source begins with the frame nearest to its start position: the
    // first frame at or after the segment start is asked for by its own time,
    // so that a rate whose frames do not fit the segment duration evenly
    // never repeats a frame of the previous segment.
    VideoFrameGrid const Grid(Variant.FrameRateN, Variant.FrameRateD);
    std::int64_t const FirstFrame = MulDivCeiling(Window.Start, Variant.FrameRateN, static_cast<std::int64_t>(Variant.FrameRateD) * TimeUnitsPerSecond);
    Window.SourceStart = Grid.FrameTime(FirstFrame);
    Window.SourceEnd = Window.End;
    Window.FirstSequenceNumber = static_cast<std::uint32_t>(FirstFrame + 1);
    return Window;
}

SegmentWindow SegmentWindow::ForAudio(AudioVariant const& Variant, std::optional<std::uint32_t> Index)
{
    CHECK_ARGUMENT(Variant.SegmentDuration > 0);
    SegmentWindow Window;
    Window.Start = Index ? static_cast<std::int64_t>(*Index) * Variant.SegmentDuration : 0;
    Window.End = Index ? Window.Start + Variant.SegmentDuration : AudioHeaderDuration;
    if(Index && Variant.Duration && Window.Start < *Variant.Duration)
        Window.End = std::min(Window.End, *Variant.Duration);
    AudioSampleGrid const Grid(AudioSampleRate);
    bool const Aac = Variant.Subtype == AudioSubtype::Aac;
    // AAC runs start early and end late (pre- and post-roll); only the frames
    // that start inside the window come out. FLAC blocks start with the run.
    Window.SourceStart = Aac ? AacEncoderTransform::InputStartTime(Window.Start, AudioSampleRate) : Window.Start;
    Window.SourceEnd = Aac ? AacEncoderTransform::InputEndTime(Window.End, AudioSampleRate) : Window.End;
    std::int64_t const FrameLength = Aac ? AacEncoder::FrameLength : FlacEncoder::BlockSize;
    std::int64_t const FirstFrame = MulDivCeiling(Grid.SampleIndex(Window.Start, true), 1, FrameLength);
    Window.FirstSequenceNumber = static_cast<std::uint32_t>(FirstFrame + 1);
    return Window;
}
} // namespace Application
