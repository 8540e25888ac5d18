// SPDX-License-Identifier: GPL-2.0-or-later
#include "media/H264Encoder.h"

#include <cstdint>
#include <cstdio>

#include <x264.h>

#include "base/Check.h"

namespace Application
{
namespace
{
// VUI code points: BT.709 primaries and transfer (the picture is drawn in
// sRGB), BT.601 matrix (what the conversion uses), limited range.
constexpr int ColourPrimariesBt709 = 1;
constexpr int TransferBt709 = 1;
constexpr int MatrixSmpte170m = 6;

void ForwardLog(void*, int Level, char const* Format, va_list Arguments)
{
    if(!TraceSink::IsEnabled())
        return;
    char Text[512];
    std::vsnprintf(Text, sizeof Text, Format, Arguments);
    TRACE("x264 level %d: %s", Level, Text);
}

x264_param_t Parameters(VideoEncoderSettings const& Settings)
{
    x264_param_t Value;
    CHECK_LINE(x264_param_default_preset(&Value, H264Encoder::Preset, nullptr) == 0);
    Value.i_csp = Settings.InputFormat == VideoPicture::Layout::Nv12 ? X264_CSP_NV12 : X264_CSP_I420;
    Value.i_width = static_cast<int>(Settings.Width);
    Value.i_height = static_cast<int>(Settings.Height);
    Value.i_fps_num = Settings.RateN;
    Value.i_fps_den = Settings.RateD;
    // Encoder time stamps count pictures.
    Value.i_timebase_num = Settings.RateD;
    Value.i_timebase_den = Settings.RateN;
    Value.b_vfr_input = 0;
    Value.i_threads = static_cast<int>(Settings.Threads);
    Value.i_keyint_max = static_cast<int>(Settings.GopSize);
    Value.i_keyint_min = static_cast<int>(Settings.GopSize);
    Value.i_scenecut_threshold = 0;
    Value.b_open_gop = 0;
    Value.b_intra_refresh = 0;
    if(Settings.BPictureCount)
        Value.i_bframe = static_cast<int>(*Settings.BPictureCount);
    Value.rc.i_rc_method = X264_RC_CRF;
    Value.rc.f_rf_constant = static_cast<float>(VideoEncoderSettings::QuantizerFromQuality(Settings.Quality));
    Value.b_repeat_headers = 0;
    Value.b_annexb = 1;
    Value.b_aud = 0;
    Value.b_stitchable = 1;
    Value.vui.b_fullrange = 0;
    Value.vui.i_colorprim = ColourPrimariesBt709;
    Value.vui.i_transfer = TransferBt709;
    Value.vui.i_colmatrix = MatrixSmpte170m;
    Value.i_log_level = X264_LOG_WARNING;
    Value.pf_log = ForwardLog;
    CHECK_LINE(x264_param_apply_profile(&Value, "high") == 0);
    return Value;
}

// x264 decodes the first picture this many pictures before it presents.
std::uint32_t ChosenReorderDelay(x264_t* Encoder)
{
    x264_param_t Actual;
    x264_encoder_parameters(Encoder, &Actual);
    if(Actual.i_bframe == 0)
        return 0;
    return Actual.i_bframe_pyramid == X264_B_PYRAMID_NONE ? 1 : 2;
}

std::uint32_t PictureType(int Type)
{
    if(IS_X264_TYPE_B(Type))
        return 2;
    return Type == X264_TYPE_P ? 1 : 0;
}
} // namespace

H264Encoder::H264Encoder(VideoEncoderSettings const& Settings) : VideoEncoder(Settings)
{
    CHECK_ARGUMENT(Settings.Format == VideoEncoderSettings::Codec::H264);
    x264_param_t Value = Parameters(Settings);
    m_Encoder = x264_encoder_open(&Value);
    CHECK_POINTER(m_Encoder);
    SetReorderDelay(ChosenReorderDelay(m_Encoder));
    x264_nal_t* Units = nullptr;
    int UnitCount = 0;
    CHECK_LINE(x264_encoder_headers(m_Encoder, &Units, &UnitCount) >= 0);
    // Only the parameter sets: the encoder's own SEI says nothing a player needs.
    std::vector<std::uint8_t> Header;
    for(int Index = 0; Index < UnitCount; ++Index)
        if(Units[Index].i_type == NAL_SPS || Units[Index].i_type == NAL_PPS)
            Header.insert(Header.end(), Units[Index].p_payload, Units[Index].p_payload + Units[Index].i_payload);
    SetSequenceHeader(std::move(Header));
}

H264Encoder::~H264Encoder()
{
    x264_encoder_close(m_Encoder);
}

bool H264Encoder::EncodePicture(VideoPicture const* Picture, std::int64_t Pts, CodedPicture& Result)
{
    x264_picture_t Input;
    x264_picture_t* InputPointer = nullptr;
    if(Picture)
    {
        CHECK_ARGUMENT(Picture->Format == Settings().InputFormat);
        x264_picture_init(&Input);
        Input.i_type = X264_TYPE_AUTO;
        Input.i_pts = Pts;
        Input.img.i_csp = Settings().InputFormat == VideoPicture::Layout::Nv12 ? X264_CSP_NV12 : X264_CSP_I420;
        Input.img.i_plane = Settings().InputFormat == VideoPicture::Layout::Nv12 ? 2 : 3;
        for(int Plane = 0; Plane < Input.img.i_plane; ++Plane)
        {
            Input.img.plane[Plane] = Picture->Planes[Plane];
            Input.img.i_stride[Plane] = static_cast<int>(Picture->Strides[Plane]);
        }
        InputPointer = &Input;
    }
    x264_nal_t* Units = nullptr;
    int UnitCount = 0;
    x264_picture_t Output;
    int Size = 0;
    // Flushing may take calls that give nothing while pictures are still held.
    do
    {
        if(!InputPointer && x264_encoder_delayed_frames(m_Encoder) == 0)
            return false;
        Size = x264_encoder_encode(m_Encoder, &Units, &UnitCount, InputPointer, &Output);
        CHECK_LINE(Size >= 0);
    } while(Size == 0 && !InputPointer);
    if(Size == 0)
        return false;
    // The payloads of one picture follow each other in one buffer.
    Result.Data.assign(Units[0].p_payload, Units[0].p_payload + Size);
    Result.Pts = Output.i_pts;
    Result.Idr = Output.i_type == X264_TYPE_IDR;
    Result.PictureType = PictureType(Output.i_type);
    return true;
}
} // namespace Application
