// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "media/VideoEncoderSettings.h"

namespace Application
{
// Caption data in the video stream: an SEI NAL unit with one
// user_data_registered_itu_t_t35 message (country 0xB5, provider 0x0031,
// "GA94", user_data_type_code 3) around a picture's cc_data, as ATSC A/53
// and CTA-608/708 carriage in H.264 and HEVC define it.
class CaptionSei
{
public:
    // The NAL unit without a start code: header (H.264 type 6; HEVC prefix
    // SEI, type 39, layer 0, temporal id 1), the message, the trailing
    // bits, with emulation prevention bytes.
    static std::vector<std::uint8_t> NalUnit(VideoEncoderSettings::Codec Codec, std::span<std::uint8_t const> CcData);
    // Puts NalUnit with a 4-byte start code into AccessUnit (Annex B)
    // before its first slice, where an SEI of the picture belongs: after
    // the parameter sets and other SEI. An access unit without a slice
    // fails.
    static void Insert(VideoEncoderSettings::Codec Codec, std::vector<std::uint8_t>& AccessUnit, std::span<std::uint8_t const> NalUnit);
};
} // namespace Application
