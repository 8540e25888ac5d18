// SPDX-License-Identifier: GPL-2.0-or-later
#include "media/LibavAudioCodec.h"

extern "C" {
#include <libavcodec/avcodec.h>
}

#include "mf/Guids.h"

namespace Application
{
LibavAudioCodec const& LibavAudioCodec::Aac()
{
    // Two frames each side: without them the frames around a joint of two
    // runs overlap less well than those within one (AudioEncoderTest).
    static LibavAudioCodec const Codec{"aac", MF::MFAudioFormat_AAC, 1024, 1024, 2, 2, 96000, 6, FF_PROFILE_AAC_LOW};
    return Codec;
}

LibavAudioCodec const& LibavAudioCodec::Ac3()
{
    // A frame decodes alone but for the block it overlaps with: one frame
    // after the kept ones holds it, two before let the encoder settle.
    static LibavAudioCodec const Codec{"ac3", MF::MFAudioFormat_Dolby_AC3, 1536, 256, 2, 1, 48000, 6, FF_PROFILE_UNKNOWN};
    return Codec;
}

LibavAudioCodec const& LibavAudioCodec::Ec3()
{
    static LibavAudioCodec const Codec{"eac3", MF::MFAudioFormat_Dolby_DDPlus, 1536, 256, 2, 1, 48000, 6, FF_PROFILE_UNKNOWN};
    return Codec;
}
} // namespace Application
