// SPDX-License-Identifier: GPL-2.0-or-later
#include "media/VideoFrameConverter.h"

#include <cstdlib>

#include <libyuv/convert.h>
#include <libyuv/convert_from_argb.h>

#include "base/Check.h"

namespace Application
{
void VideoFrameConverter::Convert(std::uint8_t const* Source, std::int32_t SourceStride, VideoPicture const& Target)
{
    CHECK_POINTER(Source);
    CHECK_ARGUMENT(std::abs(static_cast<std::int64_t>(SourceStride)) >= static_cast<std::int64_t>(Target.Width) * 4);
    auto const Width = static_cast<int>(Target.Width);
    auto const Height = static_cast<int>(Target.Height);
    int Result = -1;
    if(Target.Format == VideoPicture::Layout::Nv12)
        Result = libyuv::ARGBToNV12(Source, SourceStride, Target.Planes[0], static_cast<int>(Target.Strides[0]), Target.Planes[1],
                                    static_cast<int>(Target.Strides[1]), Width, Height);
    else
        Result = libyuv::ARGBToI420(Source, SourceStride, Target.Planes[0], static_cast<int>(Target.Strides[0]), Target.Planes[1],
                                    static_cast<int>(Target.Strides[1]), Target.Planes[2], static_cast<int>(Target.Strides[2]), Width, Height);
    CHECK_LINE(Result == 0);
}

void VideoFrameConverter::Convert(VideoPicture const& Source, VideoPicture const& Target)
{
    CHECK_ARGUMENT(Source.Format == VideoPicture::Layout::Nv12 && Target.Format == VideoPicture::Layout::I420);
    CHECK_ARGUMENT(Source.Width == Target.Width && Source.Height == Target.Height);
    int const Result = libyuv::NV12ToI420(Source.Planes[0], static_cast<int>(Source.Strides[0]), Source.Planes[1], static_cast<int>(Source.Strides[1]),
                                          Target.Planes[0], static_cast<int>(Target.Strides[0]), Target.Planes[1], static_cast<int>(Target.Strides[1]),
                                          Target.Planes[2], static_cast<int>(Target.Strides[2]), static_cast<int>(Target.Width),
                                          static_cast<int>(Target.Height));
    CHECK_LINE(Result == 0);
}

VideoPicture VideoFrameConverter::AsI420(VideoPicture const& Picture, std::vector<std::uint8_t>& Buffer)
{
    if(Picture.Format == VideoPicture::Layout::I420)
        return Picture;
    Buffer.resize(VideoPicture::ContiguousSize(Picture.Width, Picture.Height));
    VideoPicture const Target = VideoPicture::Contiguous(VideoPicture::Layout::I420, Picture.Width, Picture.Height, Buffer.data());
    Convert(Picture, Target);
    return Target;
}
} // namespace Application
