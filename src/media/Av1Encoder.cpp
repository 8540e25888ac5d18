// SPDX-License-Identifier: GPL-2.0-or-later
#include "media/Av1Encoder.h"

#include <algorithm>
#include <cstdlib>
#include <memory>

#include <svt-av1/EbSvtAv1Enc.h>
#include <svt-av1/EbSvtAv1Metadata.h>

#include "base/Check.h"
#include "media/VideoFrameConverter.h"
#include "mp4/Mp4Av1Obu.h"
#include "mp4/Mp4HdrStaticMetadata.h"

namespace Application
{
namespace
{
// The library logs every encoder's settings at the info level, once per
// run here; errors are enough. Set before any thread can read the
// environment, and only where the operator has not chosen a level.
[[maybe_unused]] bool const QuietLibrary = (setenv("SVT_LOG", "1", 0), true);

void Check(EbErrorType Error, char const* What)
{
    if(Error != EB_ErrorNone)
        throw HResultError(E_FAIL, std::string("SVT-AV1 ") + What + " failed");
}
} // namespace

Av1Encoder::Av1Encoder(VideoEncoderSettings const& Settings) : VideoEncoder(Settings)
{
    CHECK_ARGUMENT(Settings.Format == VideoEncoderSettings::Codec::Av1);
    // Caption data travels in H.264 and HEVC SEI only.
    CHECK_CONDITION(Settings.Captions == VideoEncoderSettings::CaptionServices::None, E_NOTIMPL);
    try
    {
        Open();
    }
    catch(HResultError const&)
    {
        Close();
        throw;
    }
    // The sequence header is known once the first key frame is coded: the
    // library's announcement before that leaves out the coding tools it
    // settles on. Each key frame's temporal unit carries the real one.
    SetSequenceHeader({}, false);
}

Av1Encoder::~Av1Encoder()
{
    Close();
}

std::mutex& Av1Encoder::LibraryMutex()
{
    static std::mutex Mutex;
    return Mutex;
}

void Av1Encoder::Open()
{
    EbSvtAv1EncConfiguration Configuration{};
    Check(svt_av1_enc_init_handle(&m_Handle, nullptr, &Configuration), "init_handle");
    Configuration.enc_mode = Preset;
    Configuration.source_width = Settings().Width;
    Configuration.source_height = Settings().Height;
    Configuration.frame_rate_numerator = Settings().RateN;
    Configuration.frame_rate_denominator = Settings().RateD;
    Configuration.encoder_bit_depth = IsHighDynamicRange(Settings().Range) ? 10 : 8;
    Configuration.encoder_color_format = EB_YUV420;
    Configuration.profile = MAIN_PROFILE;
    Configuration.intra_refresh_type = SVT_AV1_KF_REFRESH;
    Configuration.pred_structure = SVT_AV1_PRED_LOW_DELAY_B;
    // The count of pictures after a key frame before the next one. A period
    // of one would make intra-only pictures, which are no random access
    // points: key-frame-only runs code each picture as a stream of its own
    // (EncodePicture).
    Configuration.intra_period_length = KeyFramesOnly() ? -1 : static_cast<std::int32_t>(Settings().GopSize) - 1;
    Configuration.scene_change_detection = 0;
    Configuration.look_ahead_distance = 0;
    Configuration.enable_tpl_la = 0;
    Configuration.rate_control_mode = SVT_AV1_RC_MODE_CQP_OR_CRF;
    Configuration.qp = VideoEncoderSettings::WideQuantizerFromQuality(Settings().Quality);
    SetColours(Configuration);
    if(Settings().Threads)
        Configuration.logical_processors = Settings().Threads;
    Check(svt_av1_enc_set_parameter(m_Handle, &Configuration), "set_parameter");
    Check(svt_av1_enc_init(m_Handle), "init");
    m_Initialised = true;
    m_EndSent = false;
    m_Sent = false;
}

void Av1Encoder::SetColours(EbSvtAv1EncConfiguration& Configuration) const
{
    Configuration.color_range = EB_CR_STUDIO_RANGE;
    if(!IsHighDynamicRange(Settings().Range))
    {
        Configuration.color_primaries = EB_CICP_CP_BT_709;
        Configuration.transfer_characteristics = EB_CICP_TC_BT_709;
        Configuration.matrix_coefficients = EB_CICP_MC_BT_601;
        return;
    }
    Configuration.color_primaries = EB_CICP_CP_BT_2020;
    Configuration.matrix_coefficients = EB_CICP_MC_BT_2020_NCL;
    if(Settings().Range == DynamicRange::Hlg)
    {
        Configuration.transfer_characteristics = EB_CICP_TC_HLG;
        return;
    }
    Configuration.transfer_characteristics = EB_CICP_TC_SMPTE_2084;
    // The library reads decimals (cd/m² for the luminances).
    auto const& Metadata = Mp4::HdrStaticMetadata::Signalled;
    std::string const Light = std::to_string(Metadata.m_MaximalContentLightLevel) + "," + std::to_string(Metadata.m_MaximalFrameAverageLightLevel);
    if(!svt_aom_parse_mastering_display(&Configuration.mastering_display, Metadata.MasteringDisplayDecimalText().c_str()) ||
       !svt_aom_parse_content_light_level(&Configuration.content_light_level, Light.c_str()))
        throw HResultError(E_FAIL, "SVT-AV1 could not take the HDR metadata");
}

void Av1Encoder::Close() noexcept
{
    if(m_Initialised)
    {
        // The library's threads wait for the end of the stream before they stop.
        try
        {
            if(!m_EndSent)
                SendEndOfStream();
        }
        catch(HResultError const&)
        {
        }
        svt_av1_enc_deinit(m_Handle);
        m_Initialised = false;
    }
    if(m_Handle)
        svt_av1_enc_deinit_handle(m_Handle);
    m_Handle = nullptr;
}

void Av1Encoder::SendEndOfStream()
{
    EbBufferHeaderType End{};
    End.size = sizeof End;
    End.flags = EB_BUFFERFLAG_EOS;
    End.pic_type = EB_AV1_INVALID_PICTURE;
    m_EndSent = true;
    Check(svt_av1_enc_send_picture(m_Handle, &End), "send_picture");
}

bool Av1Encoder::EncodePicture(VideoPicture const* Picture, std::int64_t Pts, CodedPicture& Result)
{
    // Drained and let go: nothing is left to come out.
    if(!Picture && !m_Handle)
        return false;
    if(Picture)
    {
        if(KeyFramesOnly() && m_Sent)
            Close();
        if(!m_Handle)
            Open();
        CHECK_LINE(!m_EndSent);
        m_Sent = true;
        VideoPicture const Planar = VideoFrameConverter::AsPlanar(*Picture, m_RepackBuffer);
        bool const Wide = VideoPicture::IsWide(Planar.Format);
        CHECK_ARGUMENT(Wide == IsHighDynamicRange(Settings().Range));
        EbSvtIOFormat Planes{};
        Planes.luma = Planar.Planes[0];
        Planes.cb = Planar.Planes[1];
        Planes.cr = Planar.Planes[2];
        // The library counts strides in samples, 16-bit words in 10 bits.
        std::uint32_t const Sample = VideoPicture::BytesPerSample(Planar.Format);
        Planes.y_stride = Planar.Strides[0] / Sample;
        Planes.cb_stride = Planar.Strides[1] / Sample;
        Planes.cr_stride = Planar.Strides[2] / Sample;
        Planes.width = Planar.Width;
        Planes.height = Planar.Height;
        Planes.color_fmt = EB_YUV420;
        Planes.bit_depth = Wide ? EB_TEN_BIT : EB_EIGHT_BIT;
        EbBufferHeaderType Input{};
        Input.size = sizeof Input;
        Input.p_buffer = reinterpret_cast<std::uint8_t*>(&Planes);
        Input.n_filled_len = static_cast<std::uint32_t>(VideoPicture::ContiguousSize(Planar.Width, Planar.Height, Planar.Format));
        Input.n_alloc_len = Input.n_filled_len;
        Input.pts = Pts;
        Input.pic_type = EB_AV1_INVALID_PICTURE;
        // The library copies the picture before it returns.
        Check(svt_av1_enc_send_picture(m_Handle, &Input), "send_picture");
    }
    else if(!m_EndSent)
        SendEndOfStream();
    // Alone in its stream, the picture comes out before the next goes in.
    if(Picture && KeyFramesOnly())
        SendEndOfStream();
    EbBufferHeaderType* Packet = nullptr;
    EbErrorType const Error = svt_av1_enc_get_packet(m_Handle, &Packet, m_EndSent ? 1 : 0);
    if(Error == EB_NoErrorEmptyQueue)
        return false;
    Check(Error, "get_packet");
    std::unique_ptr<EbBufferHeaderType*, void (*)(EbBufferHeaderType**)> const Release(&Packet, svt_av1_enc_release_out_buffer);
    CHECK_LINE(!(Packet->flags & EB_BUFFERFLAG_ERROR_MASK));
    bool const Key = Packet->pic_type == EB_AV1_KEY_PICTURE;
    auto const Obus = Mp4::Av1Obu::Split({Packet->p_buffer, Packet->n_filled_len});
    Result.Data.clear();
    CHECK_LINE(!Key || std::any_of(Obus.begin(), Obus.end(), [](auto const& Obu) { return Obu.m_Type == Mp4::Av1Obu::SequenceHeaderType; }));
    for(auto const& Obu : Obus)
        if(Obu.m_Type != Mp4::Av1Obu::TemporalDelimiterType)
            Result.Data.insert(Result.Data.end(), Obu.m_Whole.begin(), Obu.m_Whole.end());
    Result.Pts = Packet->pts;
    Result.Idr = Key;
    Result.PictureType = Key || Packet->pic_type == EB_AV1_INTRA_ONLY_PICTURE ? 0 : 1;
    return true;
}
} // namespace Application
