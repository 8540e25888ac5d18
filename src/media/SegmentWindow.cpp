// SPDX-License-Identifier: GPL-2.0-or-later
#include "media/SegmentWindow.h"

#include "base/Check.h"
#include "base/MulDiv.h"
#include "media/AudioSampleGrid.h"
#include "media/LibavAudioEncoder.h"
#include "media/OpusAudioEncoder.h"
#include "media/VideoFrameGrid.h"

namespace Application
{
namespace
{
std::pair<std::int64_t, std::int64_t> LibavSpan(LibavAudioCodec const& Codec, std::int64_t First, std::int64_t End)
{
    return {LibavAudioEncoder::InputStart(Codec, First), LibavAudioEncoder::InputEnd(Codec, End)};
}

// The samples a run for the window [First, End) takes: the pre- and
// post-roll of the codecs that keep only the frames starting inside it.
std::pair<std::int64_t, std::int64_t> AudioSourceSpan(AudioSubtype Subtype, std::int64_t First, std::int64_t End)
{
    switch(Subtype)
    {
    case AudioSubtype::Aac: return LibavSpan(LibavAudioCodec::Aac(), First, End);
    case AudioSubtype::Ac3: return LibavSpan(LibavAudioCodec::Ac3(), First, End);
    case AudioSubtype::Ec3: return LibavSpan(LibavAudioCodec::Ec3(), First, End);
    case AudioSubtype::Opus: return {OpusAudioEncoder::InputStart(First), OpusAudioEncoder::InputEnd(End)};
    case AudioSubtype::Flac: break;
    }
    return {First, End};
}
} // namespace

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
    std::int64_t const First = Grid.SampleIndex(Window.Start, true);
    std::int64_t const End = Grid.SampleIndex(Window.End, true);
    // FLAC blocks start with the run.
    Window.SourceStart = Window.Start;
    Window.SourceEnd = Window.End;
    if(Variant.Subtype != AudioSubtype::Flac)
    {
        auto const [SourceFirst, SourceEnd] = AudioSourceSpan(Variant.Subtype, First, End);
        Window.SourceStart = Grid.SampleTime(SourceFirst);
        Window.SourceEnd = Grid.SampleTime(SourceEnd);
    }
    std::int64_t const FirstFrame = CeilDivide(First, AudioFrameLength(Variant.Subtype));
    Window.FirstSequenceNumber = static_cast<std::uint32_t>(FirstFrame + 1);
    return Window;
}
} // namespace Application
