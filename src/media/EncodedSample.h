#pragma once

#include <cstdint>
#include <optional>
#include <vector>

// One compressed sample as an encoder gives it: a video access unit in Annex B
// form, an AAC access unit, or a FLAC frame, with its times in 100-ns units.
struct EncodedSample
{
    std::vector<std::uint8_t> Data;
    std::int64_t Time = 0;
    std::int64_t Duration = 0;
    // Video: the decode time. The k-th sample of a run decodes at the time of
    // the k-th picture put in, so the first decodes at its own presentation
    // time and decode times of consecutive segments tile without overlap.
    std::optional<std::int64_t> DecodeTime;
    // A random access point (IDR picture; every audio frame).
    bool KeyFrame = false;
    // Video: 0 I, 1 P, 2 B.
    std::uint32_t PictureType = 0;
    // Audio: the absolute index of the first sample and the number of samples.
    std::int64_t FirstSample = 0;
    std::uint32_t SampleCount = 0;
};
