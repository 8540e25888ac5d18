// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <optional>

#include "media/DynamicRange.h"
#include "media/VideoPicture.h"

namespace Application
{
struct VideoEncoderSettings
{
    enum class Codec
    {
        H264,
        Hevc,
        Av1,
        Vp9,
    };

    // Caption data every picture carries (CaptionData).
    enum class CaptionServices
    {
        None,
        Cea608,
        Cea608And708,
    };

    Codec Format = Codec::H264;
    std::uint32_t Width = 0;
    std::uint32_t Height = 0;
    std::uint32_t RateN = 0;
    std::uint32_t RateD = 0;
    // Signalled only: rate control is quality-based.
    std::uint32_t Bitrate = 0;
    // 0 (worst) to 100 (best), mapped to a quantiser by QuantizerFromQuality.
    std::uint32_t Quality = 70;
    // Pictures from one IDR picture to the next; 1 makes every picture IDR.
    std::uint32_t GopSize = 25;
    // Consecutive B pictures; absent keeps the encoder's choice.
    std::optional<std::uint32_t> BPictureCount;
    // Encoder threads; 0 lets the encoder choose.
    std::uint32_t Threads = 0;
    // What the pictures put in look like.
    VideoPicture::Layout InputFormat = VideoPicture::Layout::Nv12;
    CaptionServices Captions = CaptionServices::None;
    // PQ and HLG: 10-bit BT.2020 video of P010 or I010 pictures.
    DynamicRange Range = DynamicRange::Sdr;

    // QP = truncate((10^(600 / (q + 565)) - 8) × 10 + 16.5): 70 gives 24,
    // 50 gives 31, 0 gives 51, 100 gives 16.
    static std::uint32_t QuantizerFromQuality(std::uint32_t Quality);
    // The same on the 0 to 63 scale the AV1 and VP9 libraries take:
    // 70 gives 30, 50 gives 38, 0 gives 63, 100 gives 20.
    static std::uint32_t WideQuantizerFromQuality(std::uint32_t Quality);
};
} // namespace Application
