// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "media/VideoEncoder.h"

struct x264_t;

namespace Application
{
// H.264 over libx264: High profile, quality-based rate control (constant rate
// factor at the quantiser the quality maps to), IDR pictures exactly every
// GopSize pictures and nowhere else, closed GOPs, BT.601 limited range
// signalled in the VUI, parameter sets that do not depend on the content (so
// every run, header or segment, makes the same ones).
class H264Encoder final : public VideoEncoder
{
public:
    // Chosen for speed: segments are made on demand, while a player waits.
    static constexpr char const* Preset = "veryfast";

    explicit H264Encoder(VideoEncoderSettings const& Settings);
    ~H264Encoder() override;

protected:
    bool EncodePicture(VideoPicture const* Picture, std::int64_t Pts, CodedPicture& Result) override;

private:
    x264_t* m_Encoder = nullptr;
};
} // namespace Application
