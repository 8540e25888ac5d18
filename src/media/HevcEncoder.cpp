// SPDX-License-Identifier: GPL-2.0-or-later
#include "media/HevcEncoder.h"

#include <memory>

#include <x265.h>

#include "base/Check.h"
#include "media/VideoFrameConverter.h"
#include "mp4/Mp4ColourDescription.h"
#include "mp4/Mp4HdrStaticMetadata.h"

namespace Application
{
namespace
{
constexpr std::uint32_t VideoParameterSet = 32;
constexpr std::uint32_t SequenceParameterSet = 33;
constexpr std::uint32_t PictureParameterSet = 34;
// See H264Encoder: sRGB primaries and transfer, BT.601 matrix, limited range.
constexpr int ColourPrimariesBt709 = 1;
constexpr int TransferBt709 = 1;
constexpr int MatrixSmpte170m = 6;
constexpr int VideoFormatUnspecified = 5;

// libx265 decodes the first picture this many pictures before it presents.
std::uint32_t ChosenReorderDelay(x265_api const& Api, x265_encoder* Encoder)
{
    std::unique_ptr<x265_param, void (*)(x265_param*)> const Actual(Api.param_alloc(), Api.param_free);
    CHECK_POINTER(Actual.get());
    Api.encoder_parameters(Encoder, Actual.get());
    if(Actual->bframes == 0)
        return 0;
    return Actual->bBPyramid ? 2 : 1;
}

std::uint32_t PictureType(int Type)
{
    if(IS_X265_TYPE_B(Type))
        return 2;
    return Type == X265_TYPE_P ? 1 : 0;
}
} // namespace

HevcEncoder::HevcEncoder(VideoEncoderSettings const& Settings) : VideoEncoder(Settings)
{
    CHECK_ARGUMENT(Settings.Format == VideoEncoderSettings::Codec::Hevc);
    bool const Wide = IsHighDynamicRange(Settings.Range);
    // 0: the build the program links, 8-bit.
    m_Api = x265_api_get(Wide ? 10 : 0);
    CHECK_POINTER(m_Api);
    m_Parameters = m_Api->param_alloc();
    CHECK_POINTER(m_Parameters);
    CHECK_LINE(m_Api->param_default_preset(m_Parameters, Preset, nullptr) == 0);
    x265_param& Value = *m_Parameters;
    Value.logLevel = X265_LOG_ERROR;
    Value.internalCsp = X265_CSP_I420;
    Value.sourceWidth = static_cast<int>(Settings.Width);
    Value.sourceHeight = static_cast<int>(Settings.Height);
    Value.fpsNum = Settings.RateN;
    Value.fpsDenom = Settings.RateD;
    Value.keyframeMax = static_cast<int>(Settings.GopSize);
    Value.keyframeMin = static_cast<int>(Settings.GopSize);
    Value.scenecutThreshold = 0;
    Value.bOpenGOP = 0;
    if(Settings.BPictureCount)
        Value.bframes = static_cast<int>(*Settings.BPictureCount);
    Value.rc.rateControlMode = X265_RC_CRF;
    Value.rc.rfConstant = VideoEncoderSettings::QuantizerFromQuality(Settings.Quality);
    Value.bRepeatHeaders = 0;
    Value.bAnnexB = 1;
    Value.bEmitInfoSEI = 0;
    Value.vui.bEnableVideoSignalTypePresentFlag = 1;
    Value.vui.videoFormat = VideoFormatUnspecified;
    Value.vui.bEnableVideoFullRangeFlag = 0;
    SetColours(Value);
    if(Settings.Threads)
    {
        m_Pools = std::to_string(Settings.Threads);
        Value.numaPools = m_Pools.c_str();
    }
    CHECK_LINE(m_Api->param_apply_profile(m_Parameters, Wide ? "main10" : "main") == 0);
    m_Encoder = m_Api->encoder_open(m_Parameters);
    CHECK_POINTER(m_Encoder);
    SetReorderDelay(ChosenReorderDelay(*m_Api, m_Encoder));
    x265_nal* Units = nullptr;
    std::uint32_t UnitCount = 0;
    CHECK_LINE(m_Api->encoder_headers(m_Encoder, &Units, &UnitCount) >= 0);
    std::vector<std::uint8_t> Header;
    for(std::uint32_t Index = 0; Index < UnitCount; ++Index)
        if(Units[Index].type == VideoParameterSet || Units[Index].type == SequenceParameterSet || Units[Index].type == PictureParameterSet)
            Header.insert(Header.end(), Units[Index].payload, Units[Index].payload + Units[Index].sizeBytes);
    SetSequenceHeader(std::move(Header));
}

HevcEncoder::~HevcEncoder()
{
    if(m_Encoder)
        m_Api->encoder_close(m_Encoder);
    if(m_Parameters)
        m_Api->param_free(m_Parameters);
}

void HevcEncoder::SetColours(x265_param& Value)
{
    Value.vui.bEnableColorDescriptionPresentFlag = 1;
    if(!IsHighDynamicRange(Settings().Range))
    {
        Value.vui.colorPrimaries = ColourPrimariesBt709;
        Value.vui.transferCharacteristics = TransferBt709;
        Value.vui.matrixCoeffs = MatrixSmpte170m;
        return;
    }
    Value.vui.colorPrimaries = Mp4::ColourDescription::PrimariesBt2020;
    Value.vui.matrixCoeffs = Mp4::ColourDescription::MatrixBt2020NonConstant;
    if(Settings().Range == DynamicRange::Hlg)
    {
        Value.vui.transferCharacteristics = Mp4::ColourDescription::TransferHlg;
        return;
    }
    Value.vui.transferCharacteristics = Mp4::ColourDescription::TransferPq;
    auto const& Metadata = Mp4::HdrStaticMetadata::Signalled;
    // The library keeps the pointer: the text lives as long as the encoder.
    m_MasteringDisplay = Metadata.MasteringDisplayText();
    Value.masteringDisplayColorVolume = m_MasteringDisplay.c_str();
    Value.maxCLL = Metadata.m_MaximalContentLightLevel;
    Value.maxFALL = Metadata.m_MaximalFrameAverageLightLevel;
    Value.bEmitHDR10SEI = 1;
}

bool HevcEncoder::EncodePicture(VideoPicture const* Picture, std::int64_t Pts, CodedPicture& Result)
{
    x265_picture Input;
    x265_picture* InputPointer = nullptr;
    if(Picture)
    {
        VideoPicture const Planar = VideoFrameConverter::AsPlanar(*Picture, m_RepackBuffer);
        CHECK_ARGUMENT(VideoPicture::IsWide(Planar.Format) == IsHighDynamicRange(Settings().Range));
        m_Api->picture_init(m_Parameters, &Input);
        Input.pts = Pts;
        Input.bitDepth = VideoPicture::IsWide(Planar.Format) ? 10 : 8;
        Input.colorSpace = X265_CSP_I420;
        for(int Plane = 0; Plane < 3; ++Plane)
        {
            Input.planes[Plane] = Planar.Planes[Plane];
            Input.stride[Plane] = static_cast<int>(Planar.Strides[Plane]);
        }
        InputPointer = &Input;
    }
    x265_nal* Units = nullptr;
    std::uint32_t UnitCount = 0;
    x265_picture Output;
    int const Count = m_Api->encoder_encode(m_Encoder, &Units, &UnitCount, InputPointer, &Output);
    CHECK_LINE(Count >= 0);
    if(Count == 0)
        return false;
    Result.Data.clear();
    for(std::uint32_t Index = 0; Index < UnitCount; ++Index)
    {
        // x265 repeats the parameter sets before every IDR picture of an
        // intra-only stream; a run carries them once, in front of its first
        // picture, as the sample entry has them.
        auto const Type = Units[Index].type;
        if(Type == VideoParameterSet || Type == SequenceParameterSet || Type == PictureParameterSet)
            continue;
        Result.Data.insert(Result.Data.end(), Units[Index].payload, Units[Index].payload + Units[Index].sizeBytes);
    }
    Result.Pts = Output.pts;
    Result.Idr = Output.sliceType == X265_TYPE_IDR;
    Result.PictureType = PictureType(Output.sliceType);
    return true;
}
} // namespace Application
