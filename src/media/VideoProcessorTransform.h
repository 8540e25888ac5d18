// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "media/SynchronousTransform.h"
#include "media/VideoPicture.h"

namespace Application
{
// The colour converter in front of the encoders: ARGB32 (or RGB32) frames in,
// NV12 or I420 frames of the same size and rate out, in BT.601 limited range;
// A2R10G10B10 frames in, P010 in BT.2020 limited range out.
// Input rows are top-down unless the input type's MF_MT_DEFAULT_STRIDE is
// negative. Times and sample attributes pass unchanged.
class VideoProcessorTransform final : public SynchronousTransform
{
public:
    static std::shared_ptr<VideoProcessorTransform> Create();

protected:
    void CheckOutputType(MF::MediaType const& Type) override;
    void CheckInputType(MF::MediaType const& Type) override;
    void Configure() override;
    void Process(MF::Sample& Input) override;

private:
    VideoPicture::Layout m_Layout = VideoPicture::Layout::Nv12;
    std::uint32_t m_Width = 0;
    std::uint32_t m_Height = 0;
    std::int32_t m_InputStride = 0;
};
} // namespace Application
