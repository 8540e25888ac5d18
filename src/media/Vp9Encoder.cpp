// SPDX-License-Identifier: GPL-2.0-or-later
#include "media/Vp9Encoder.h"

#include <algorithm>
#include <thread>

#include <vpx/vp8cx.h>
#include <vpx/vpx_encoder.h>

#include "base/Check.h"
#include "media/VideoFrameConverter.h"

namespace Application
{
namespace
{
void Check(vpx_codec_ctx_t* Codec, vpx_codec_err_t Error, char const* What)
{
    if(Error == VPX_CODEC_OK)
        return;
    char const* const Detail = Codec ? vpx_codec_error_detail(Codec) : nullptr;
    throw HResultError(E_FAIL, std::string("libvpx ") + What + " failed: " + vpx_codec_err_to_string(Error) + (Detail ? std::string(" (") + Detail + ")" : ""));
}

vpx_codec_enc_cfg_t Configuration(VideoEncoderSettings const& Settings, std::uint32_t Threads)
{
    vpx_codec_enc_cfg_t Value;
    Check(nullptr, vpx_codec_enc_config_default(vpx_codec_vp9_cx(), &Value, 0), "config_default");
    Value.g_w = Settings.Width;
    Value.g_h = Settings.Height;
    // Encoder time stamps count pictures.
    Value.g_timebase = {static_cast<int>(Settings.RateD), static_cast<int>(Settings.RateN)};
    Value.g_threads = Threads;
    Value.g_profile = 0;
    Value.g_bit_depth = VPX_BITS_8;
    Value.g_input_bit_depth = 8;
    Value.g_pass = VPX_RC_ONE_PASS;
    Value.g_lag_in_frames = 0;
    Value.g_error_resilient = 0;
    Value.rc_end_usage = VPX_Q;
    Value.rc_min_quantizer = 0;
    Value.rc_max_quantizer = 63;
    // Every picture is coded: none is dropped to meet a rate.
    Value.rc_dropframe_thresh = 0;
    Value.rc_resize_allowed = 0;
    Value.rc_target_bitrate = std::max<std::uint32_t>(Settings.Bitrate / 1000, 1);
    // Key frames come where EncodePicture asks for them, nowhere else.
    Value.kf_mode = VPX_KF_DISABLED;
    return Value;
}

template <typename ValueT>
void Control(vpx_codec_ctx_t* Codec, int Id, ValueT Value, char const* What)
{
    Check(Codec, vpx_codec_control_(Codec, Id, Value), What);
}
} // namespace

void Vp9Encoder::CodecDeleter::operator()(vpx_codec_ctx* Codec) const noexcept
{
    vpx_codec_destroy(Codec);
    delete Codec;
}

int Vp9Encoder::TileColumnsFor(std::uint32_t Threads) noexcept
{
    int Log2 = 0;
    while((1u << Log2) < Threads)
        ++Log2;
    return Log2;
}

Vp9Encoder::Vp9Encoder(VideoEncoderSettings const& Settings) : VideoEncoder(Settings)
{
    CHECK_ARGUMENT(Settings.Format == VideoEncoderSettings::Codec::Vp9);
    // Caption data travels in H.264 and HEVC SEI only.
    CHECK_CONDITION(Settings.Captions == VideoEncoderSettings::CaptionServices::None, E_NOTIMPL);
    std::uint32_t const Threads = Settings.Threads ? Settings.Threads : std::max(1u, std::thread::hardware_concurrency());
    auto const Value = Configuration(Settings, Threads);
    auto Codec = std::make_unique<vpx_codec_ctx_t>();
    Check(nullptr, vpx_codec_enc_init(Codec.get(), vpx_codec_vp9_cx(), &Value, 0), "enc_init");
    m_Codec.reset(Codec.release());
    auto* const Context = m_Codec.get();
    Control(Context, VP8E_SET_CPUUSED, CpuUsed, "CPUUSED");
    Control(Context, VP8E_SET_CQ_LEVEL, static_cast<unsigned>(VideoEncoderSettings::WideQuantizerFromQuality(Settings.Quality)), "CQ_LEVEL");
    Control(Context, VP8E_SET_ENABLEAUTOALTREF, 0u, "ENABLEAUTOALTREF");
    // SMPTE 170M: the BT.601 matrix as H.264 and HEVC signal it.
    Control(Context, VP9E_SET_COLOR_SPACE, static_cast<int>(VPX_CS_SMPTE_170), "COLOR_SPACE");
    Control(Context, VP9E_SET_COLOR_RANGE, static_cast<int>(VPX_CR_STUDIO_RANGE), "COLOR_RANGE");
    Control(Context, VP9E_SET_TILE_COLUMNS, TileColumnsFor(Threads), "TILE_COLUMNS");
    Control(Context, VP9E_SET_ROW_MT, Threads > 1 ? 1u : 0u, "ROW_MT");
    // Samples carry their frames whole: a key frame describes the stream.
    SetSequenceHeader({}, false);
}

Vp9Encoder::~Vp9Encoder() = default;

bool Vp9Encoder::EncodePicture(VideoPicture const* Picture, std::int64_t Pts, CodedPicture& Result)
{
    auto* const Context = m_Codec.get();
    if(Picture)
    {
        VideoPicture const Planar = VideoFrameConverter::AsPlanar(*Picture, m_RepackBuffer);
        vpx_image_t Image;
        CHECK_POINTER(vpx_img_wrap(&Image, VPX_IMG_FMT_I420, Planar.Width, Planar.Height, 1, Planar.Planes[0]));
        for(int Plane = 0; Plane < 3; ++Plane)
        {
            Image.planes[Plane] = Planar.Planes[Plane];
            Image.stride[Plane] = static_cast<int>(Planar.Strides[Plane]);
        }
        vpx_enc_frame_flags_t const Flags = Pts % Settings().GopSize == 0 ? VPX_EFLAG_FORCE_KF : 0;
        // The library copies the picture before it returns.
        Check(Context, vpx_codec_encode(Context, &Image, Pts, 1, Flags, VPX_DL_REALTIME), "encode");
    }
    else
        Check(Context, vpx_codec_encode(Context, nullptr, 0, 0, 0, VPX_DL_REALTIME), "encode");
    bool Coded = false;
    vpx_codec_iter_t Iterator = nullptr;
    while(vpx_codec_cx_pkt_t const* Packet = vpx_codec_get_cx_data(Context, &Iterator))
    {
        if(Packet->kind != VPX_CODEC_CX_FRAME_PKT)
            continue;
        // Without lag or alternate references each picture is one frame, shown.
        CHECK_LINE(!Coded && !(Packet->data.frame.flags & VPX_FRAME_IS_INVISIBLE));
        Coded = true;
        auto const* const Data = static_cast<std::uint8_t const*>(Packet->data.frame.buf);
        Result.Data.assign(Data, Data + Packet->data.frame.sz);
        Result.Pts = Packet->data.frame.pts;
        Result.Idr = (Packet->data.frame.flags & VPX_FRAME_IS_KEY) != 0;
        Result.PictureType = Result.Idr ? 0 : 1;
    }
    return Coded;
}
} // namespace Application
