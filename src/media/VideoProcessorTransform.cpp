// SPDX-License-Identifier: GPL-2.0-or-later
#include "media/VideoProcessorTransform.h"

#include <cstdlib>

#include "base/Check.h"
#include "media/VideoFrameConverter.h"
#include "mf/Guids.h"
#include "mf/MediaStatus.h"

namespace Application
{
namespace
{
// Frames larger than this are refused rather than allocated.
constexpr std::uint32_t MaximalFrameSide = 8192;

void CheckVideoType(MF::MediaType const& Type)
{
    CHECK_CONDITION(Type.GetMajorType() == MF::MFMediaType_Video, MF_E_INVALIDMEDIATYPE);
    auto const [Width, Height] = Type.GetSize(MF::MF_MT_FRAME_SIZE);
    CHECK_CONDITION(Width > 0 && Height > 0 && Width <= MaximalFrameSide && Height <= MaximalFrameSide, MF_E_INVALIDMEDIATYPE);
}
} // namespace

std::shared_ptr<VideoProcessorTransform> VideoProcessorTransform::Create()
{
    return std::make_shared<VideoProcessorTransform>();
}

void VideoProcessorTransform::CheckOutputType(MF::MediaType const& Type)
{
    CheckVideoType(Type);
    CHECK_CONDITION(Type.GetSubtype() == MF::MFVideoFormat_NV12 || Type.GetSubtype() == MF::MFVideoFormat_I420 || Type.GetSubtype() == MF::MFVideoFormat_P010,
                    MF_E_INVALIDMEDIATYPE);
}

void VideoProcessorTransform::CheckInputType(MF::MediaType const& Type)
{
    CheckVideoType(Type);
    // 10 bits in, 10 bits out: the wide pictures stay wide.
    bool const Wide = OutputType().GetSubtype() == MF::MFVideoFormat_P010;
    CHECK_CONDITION(Wide ? Type.GetSubtype() == MF::MFVideoFormat_A2R10G10B10
                         : Type.GetSubtype() == MF::MFVideoFormat_ARGB32 || Type.GetSubtype() == MF::MFVideoFormat_RGB32,
                    MF_E_INVALIDMEDIATYPE);
    // The converter does not scale.
    CHECK_CONDITION(Type.GetSize(MF::MF_MT_FRAME_SIZE) == OutputType().GetSize(MF::MF_MT_FRAME_SIZE), MF_E_INVALIDMEDIATYPE);
}

void VideoProcessorTransform::Configure()
{
    std::tie(m_Width, m_Height) = OutputType().GetSize(MF::MF_MT_FRAME_SIZE);
    auto const Subtype = OutputType().GetSubtype();
    m_Layout = Subtype == MF::MFVideoFormat_NV12   ? VideoPicture::Layout::Nv12
               : Subtype == MF::MFVideoFormat_P010 ? VideoPicture::Layout::P010
                                                   : VideoPicture::Layout::I420;
    auto const RowSize = static_cast<std::int32_t>(m_Width * 4);
    m_InputStride = RowSize;
    if(auto const Stride = InputType().FindItem(MF::MF_MT_DEFAULT_STRIDE))
    {
        m_InputStride = static_cast<std::int32_t>(Stride->GetUInt32());
        CHECK_CONDITION(std::abs(m_InputStride) >= RowSize, MF_E_INVALIDMEDIATYPE);
    }
}

void VideoProcessorTransform::Process(MF::Sample& Input)
{
    std::size_t const RowBytes = static_cast<std::size_t>(std::abs(m_InputStride));
    auto const Source = InputBuffer(Input, RowBytes * m_Height);
    // A bottom-up picture starts with its last row.
    std::uint8_t const* TopRow = m_InputStride > 0 ? Source->GetData() : Source->GetData() + RowBytes * (m_Height - 1);
    auto Target = MF::MediaBuffer::Create(VideoPicture::ContiguousSize(m_Width, m_Height, m_Layout));
    VideoFrameConverter::Convert(TopRow, m_InputStride, VideoPicture::Contiguous(m_Layout, m_Width, m_Height, Target->GetData()));
    Target->SetCurrentLength(Target->GetMaxLength());
    auto Output = MF::Sample::Create();
    Input.CopyAllItems(*Output);
    if(auto const Time = Input.FindSampleTime())
        Output->SetSampleTime(*Time);
    if(auto const Duration = Input.FindSampleDuration())
        Output->SetSampleDuration(*Duration);
    Output->AddBuffer(std::move(Target));
    Emit(std::move(Output));
}
} // namespace Application
