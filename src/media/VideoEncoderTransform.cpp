// SPDX-License-Identifier: GPL-2.0-or-later
#include "media/VideoEncoderTransform.h"

#include "base/Check.h"
#include "mf/Guids.h"
#include "mf/MediaStatus.h"

namespace Application
{
namespace
{
constexpr std::uint32_t MaximalFrameSide = 8192;

std::uint32_t UInt32Value(MF::PropVariant const& Value)
{
    CHECK_ARGUMENT(Value.GetType() == MF::PropVariant::Type::UInt32);
    return Value.GetUInt32();
}
} // namespace

DynamicRange VideoEncoderTransform::RangeOf(MF::MediaType const& Type)
{
    auto const Transfer = Type.FindItem(MF::MF_MT_TRANSFER_FUNCTION);
    if(!Transfer)
        return DynamicRange::Sdr;
    CHECK_CONDITION(Transfer->GetUInt32() == MF::MFVideoTransFunc_2084 || Transfer->GetUInt32() == MF::MFVideoTransFunc_HLG, MF_E_INVALIDMEDIATYPE);
    CHECK_CONDITION(Type.GetUINT32(MF::MF_MT_VIDEO_PRIMARIES, 0) == MF::MFVideoPrimaries_BT2020, MF_E_INVALIDMEDIATYPE);
    CHECK_CONDITION(Type.GetUINT32(MF::MF_MT_YUV_MATRIX, 0) == MF::MFVideoTransferMatrix_BT2020_10, MF_E_INVALIDMEDIATYPE);
    return Transfer->GetUInt32() == MF::MFVideoTransFunc_2084 ? DynamicRange::Pq : DynamicRange::Hlg;
}

std::shared_ptr<VideoEncoderTransform> VideoEncoderTransform::Create()
{
    return std::make_shared<VideoEncoderTransform>();
}

bool VideoEncoderTransform::IsSupported(MF::AttributeKey const& Key)
{
    return Key == MF::CODECAPI_AVEncCommonRateControlMode || Key == MF::CODECAPI_AVEncCommonQuality || Key == MF::CODECAPI_AVEncMPVGOPSize ||
           Key == MF::CODECAPI_AVEncMPVDefaultBPictureCount || Key == MF::CODECAPI_AVEncNumWorkerThreads;
}

void VideoEncoderTransform::SetValue(MF::AttributeKey const& Key, MF::PropVariant const& Value)
{
    TRACE("this %p, Key %s\n", static_cast<void*>(this), Key.Name);
    CHECK_CONDITION(IsSupported(Key), E_NOTIMPL);
    std::uint32_t const Number = UInt32Value(Value);
    std::lock_guard Lock(m_SettingsMutex);
    if(Key == MF::CODECAPI_AVEncCommonRateControlMode)
    {
        CHECK_CONDITION(Number == QualityBasedRateControl, E_NOTIMPL);
        m_RateControlMode = Number;
    }
    else if(Key == MF::CODECAPI_AVEncCommonQuality)
    {
        CHECK_ARGUMENT(Number <= 100);
        m_Settings.Quality = Number;
    }
    else if(Key == MF::CODECAPI_AVEncMPVGOPSize)
    {
        CHECK_ARGUMENT(Number >= 1);
        m_Settings.GopSize = Number;
    }
    else if(Key == MF::CODECAPI_AVEncNumWorkerThreads)
        m_Settings.Threads = Number;
    else
    {
        CHECK_ARGUMENT(Number <= MaximalBPictureCount);
        m_Settings.BPictureCount = Number;
    }
}

void VideoEncoderTransform::SetCaptions(VideoEncoderSettings::CaptionServices Value)
{
    std::lock_guard Lock(m_SettingsMutex);
    m_Settings.Captions = Value;
}

MF::PropVariant VideoEncoderTransform::GetValue(MF::AttributeKey const& Key)
{
    CHECK_CONDITION(IsSupported(Key), E_NOTIMPL);
    std::lock_guard Lock(m_SettingsMutex);
    if(Key == MF::CODECAPI_AVEncCommonRateControlMode)
        return MF::PropVariant(m_RateControlMode.value_or(QualityBasedRateControl));
    if(Key == MF::CODECAPI_AVEncCommonQuality)
        return MF::PropVariant(m_Settings.Quality);
    if(Key == MF::CODECAPI_AVEncMPVGOPSize)
        return MF::PropVariant(m_Settings.GopSize);
    if(Key == MF::CODECAPI_AVEncNumWorkerThreads)
        return MF::PropVariant(m_Settings.Threads);
    CHECK_CONDITION(m_Settings.BPictureCount, MF_E_ATTRIBUTENOTFOUND);
    return MF::PropVariant(*m_Settings.BPictureCount);
}

void VideoEncoderTransform::CheckOutputType(MF::MediaType const& Type)
{
    CHECK_CONDITION(Type.GetMajorType() == MF::MFMediaType_Video, MF_E_INVALIDMEDIATYPE);
    CHECK_CONDITION(Type.GetSubtype() == MF::MFVideoFormat_H264 || Type.GetSubtype() == MF::MFVideoFormat_HEVC ||
                        Type.GetSubtype() == MF::MFVideoFormat_AV1 || Type.GetSubtype() == MF::MFVideoFormat_VP90,
                    MF_E_INVALIDMEDIATYPE);
    auto const [Width, Height] = Type.GetSize(MF::MF_MT_FRAME_SIZE);
    // 4:2:0 wants even sizes.
    CHECK_CONDITION(Width > 0 && Height > 0 && Width % 2 == 0 && Height % 2 == 0 && Width <= MaximalFrameSide && Height <= MaximalFrameSide,
                    MF_E_INVALIDMEDIATYPE);
    auto const [RateN, RateD] = Type.GetRatio(MF::MF_MT_FRAME_RATE);
    CHECK_CONDITION(RateN > 0 && RateD > 0, MF_E_INVALIDMEDIATYPE);
    // PQ and HLG: HEVC Main10 or AV1 10-bit, BT.2020.
    if(auto const Range = RangeOf(Type); IsHighDynamicRange(Range))
        CHECK_CONDITION(Type.GetSubtype() == MF::MFVideoFormat_HEVC || Type.GetSubtype() == MF::MFVideoFormat_AV1, MF_E_INVALIDMEDIATYPE);
}

void VideoEncoderTransform::CheckInputType(MF::MediaType const& Type)
{
    CHECK_CONDITION(Type.GetMajorType() == MF::MFMediaType_Video, MF_E_INVALIDMEDIATYPE);
    // 10-bit pictures for the wide-gamut streams, 8-bit ones for the others.
    if(IsHighDynamicRange(RangeOf(OutputType())))
        CHECK_CONDITION(Type.GetSubtype() == MF::MFVideoFormat_P010, MF_E_INVALIDMEDIATYPE);
    else
        CHECK_CONDITION(Type.GetSubtype() == MF::MFVideoFormat_NV12 || Type.GetSubtype() == MF::MFVideoFormat_I420, MF_E_INVALIDMEDIATYPE);
    CHECK_CONDITION(Type.GetSize(MF::MF_MT_FRAME_SIZE) == OutputType().GetSize(MF::MF_MT_FRAME_SIZE), MF_E_INVALIDMEDIATYPE);
}

void VideoEncoderTransform::Configure()
{
    {
        std::lock_guard Lock(m_SettingsMutex);
        auto const Subtype = OutputType().GetSubtype();
        m_Settings.Format = Subtype == MF::MFVideoFormat_HEVC  ? VideoEncoderSettings::Codec::Hevc
                            : Subtype == MF::MFVideoFormat_AV1  ? VideoEncoderSettings::Codec::Av1
                            : Subtype == MF::MFVideoFormat_VP90 ? VideoEncoderSettings::Codec::Vp9
                                                                : VideoEncoderSettings::Codec::H264;
        std::tie(m_Settings.Width, m_Settings.Height) = OutputType().GetSize(MF::MF_MT_FRAME_SIZE);
        std::tie(m_Settings.RateN, m_Settings.RateD) = OutputType().GetRatio(MF::MF_MT_FRAME_RATE);
        m_Settings.Bitrate = OutputType().GetUINT32(MF::MF_MT_AVG_BITRATE, 0);
        auto const Input = InputType().GetSubtype();
        m_Settings.InputFormat = Input == MF::MFVideoFormat_NV12   ? VideoPicture::Layout::Nv12
                                 : Input == MF::MFVideoFormat_P010 ? VideoPicture::Layout::P010
                                                                   : VideoPicture::Layout::I420;
        m_Settings.Range = RangeOf(OutputType());
    }
    m_Encoder = VideoEncoder::Create(m_Settings);
    m_EncoderUsed = false;
    OutputType().SetBlob(MF::MF_MT_MPEG_SEQUENCE_HEADER, m_Encoder->SequenceHeader());
}

void VideoEncoderTransform::StartStream()
{
    // A run starts with an IDR picture and the parameter sets: a fresh encoder.
    if(m_EncoderUsed)
        Configure();
}

void VideoEncoderTransform::Process(MF::Sample& Input)
{
    auto const Buffer = InputBuffer(Input, VideoPicture::ContiguousSize(m_Settings.Width, m_Settings.Height, m_Settings.InputFormat));
    VideoPicture const Picture = VideoPicture::Contiguous(m_Settings.InputFormat, m_Settings.Width, m_Settings.Height, Buffer->GetData());
    std::vector<EncodedSample> Encoded;
    m_EncoderUsed = true;
    m_Encoder->Encode(Picture, Input.GetSampleTime(), Input.GetSampleDuration(), Encoded);
    EmitAll(Encoded);
}

void VideoEncoderTransform::Drain()
{
    std::vector<EncodedSample> Encoded;
    m_Encoder->Drain(Encoded);
    EmitAll(Encoded);
}

void VideoEncoderTransform::EmitAll(std::vector<EncodedSample>& Encoded)
{
    for(auto& Sample : Encoded)
    {
        std::uint32_t const PictureType = Sample.PictureType;
        auto Output = ToSample(std::move(Sample));
        Output->SetUINT32(MF::MFSampleExtension_VideoEncodePictureType, PictureType);
        Emit(std::move(Output));
    }
}
} // namespace Application
