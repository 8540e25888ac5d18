// SPDX-License-Identifier: GPL-2.0-or-later
#include "media/OpusEncoderTransform.h"

#include "mf/Guids.h"

namespace Application
{
namespace
{
constexpr std::uint32_t MaximalChannels = 6; // mono, stereo and 5.1
// What libopus takes.
constexpr std::uint32_t MinimalBitrate = 6'000;
constexpr std::uint32_t MaximalBitrate = 510'000;
} // namespace

std::shared_ptr<OpusEncoderTransform> OpusEncoderTransform::Create()
{
    return std::make_shared<OpusEncoderTransform>();
}

OpusEncoderTransform::OpusEncoderTransform()
    : WindowedEncoderTransformT(MF::MFAudioFormat_Opus, OpusAudioEncoder::SampleRate, MaximalChannels, MinimalBitrate, MaximalBitrate)
{
}

void OpusEncoderTransform::CheckOutputType(MF::MediaType const& Type)
{
    WindowedEncoderTransformT::CheckOutputType(Type);
    // The frame grid and the pre-skip are counted at 48000 Hz.
    CHECK_CONDITION(Type.GetUINT32(MF::MF_MT_AUDIO_SAMPLES_PER_SECOND) == OpusAudioEncoder::SampleRate, MF_E_INVALIDMEDIATYPE);
}

std::unique_ptr<OpusAudioEncoder> OpusEncoderTransform::MakeEncoder(std::uint32_t Bitrate)
{
    return std::make_unique<OpusAudioEncoder>(Channels(), Bitrate, WindowFirstSample(), WindowEndSample());
}
} // namespace Application
