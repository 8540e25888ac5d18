// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <string_view>

#include "mf/Guid.h"

namespace Application
{
// One of libavcodec's native audio encoders as LibavAudioEncoder runs it:
// planar float samples in, frames of FrameLength samples out.
//
// libavcodec dates each packet PrimingSamples before the frame it was given
// (its initial_padding): the decoder's first output of a stream is that much
// priming. Frames are therefore put in PrimingSamples past the frame grid,
// so that every packet the encoder gives sits on the grid, and a decoder that
// plays the packets of a grid position in order hears the signal of that
// position. PreRollFrames and PostRollFrames are what a run encodes before
// and after the frames it keeps, for them to come out as a continuous
// encoder would make them.
struct LibavAudioCodec
{
    std::string_view EncoderName;
    MF::Guid Subtype; // of the transform's output type
    std::uint32_t FrameLength = 0;
    std::uint32_t PrimingSamples = 0;
    std::int64_t PreRollFrames = 0;
    std::int64_t PostRollFrames = 0;
    std::uint32_t MaximalRate = 0;
    std::uint32_t MaximalChannels = 0;
    int Profile = 0; // FF_PROFILE_UNKNOWN is -99

    // Where the first frame put in for a kept packet at grid sample 0 begins:
    // the priming past a whole number of frames.
    std::uint32_t InputPhase() const noexcept { return PrimingSamples % FrameLength; }

    // AAC-LC (MFAudioFormat_AAC): 1024-sample frames, one frame of priming.
    static LibavAudioCodec const& Aac();
    // AC-3 (MFAudioFormat_Dolby_AC3) and E-AC-3 (MFAudioFormat_Dolby_DDPlus):
    // 1536-sample frames (six 256-sample blocks), one block of priming.
    static LibavAudioCodec const& Ac3();
    static LibavAudioCodec const& Ec3();
};
} // namespace Application
