// SPDX-License-Identifier: GPL-2.0-or-later
#include "media/LibavEncoderTransform.h"

namespace Application
{
namespace
{
// Within what every one of the codecs takes at 48 kHz stereo.
constexpr std::uint32_t MinimalBitrate = 8'000;
constexpr std::uint32_t MaximalBitrate = 512'000;
} // namespace

std::shared_ptr<LibavEncoderTransform> LibavEncoderTransform::Create(LibavAudioCodec const& Codec)
{
    return std::make_shared<LibavEncoderTransform>(Codec);
}

LibavEncoderTransform::LibavEncoderTransform(LibavAudioCodec const& Codec)
    : WindowedEncoderTransformT(Codec.Subtype, Codec.MaximalRate, Codec.MaximalChannels, MinimalBitrate, MaximalBitrate), m_Codec(Codec)
{
}

std::unique_ptr<LibavAudioEncoder> LibavEncoderTransform::MakeEncoder(std::uint32_t Bitrate)
{
    return std::make_unique<LibavAudioEncoder>(m_Codec, Grid().SampleRate(), Channels(), Bitrate, WindowFirstSample(), WindowEndSample());
}
} // namespace Application
