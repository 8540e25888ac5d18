// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

namespace Application
{
// One compressed sample as an encoder gives it: a video access unit in Annex B
// form, the OBUs of an AV1 temporal unit (no temporal delimiter) or one VP9
// frame, an AAC access unit, or a FLAC frame, with its times in 100-ns units.
struct EncodedSample
{
    std::vector<std::uint8_t> Data;
    std::int64_t Time = 0;
    std::int64_t Duration = 0;
    // Video: the decode time, never after the presentation time. The k-th
    // sample of a run decodes at the time of the k-th picture put in, less the
    // encoder's reorder delay, so the first decodes that many frames before it
    // presents and every reordered picture is decoded before it is shown.
    std::optional<std::int64_t> DecodeTime;
    // A random access point (IDR picture; every audio frame).
    bool KeyFrame = false;
    // Video: 0 I, 1 P, 2 B.
    std::uint32_t PictureType = 0;
    // Audio: the absolute index of the first sample and the number of samples.
    std::int64_t FirstSample = 0;
    std::uint32_t SampleCount = 0;
};
} // namespace Application
