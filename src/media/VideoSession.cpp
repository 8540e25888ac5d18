// SPDX-License-Identifier: GPL-2.0-or-later
#include "media/VideoSession.h"

#include <algorithm>

#include "base/Check.h"
#include "media/Av1Encoder.h"
#include "media/VideoEncoderTransform.h"
#include "media/VideoMediaSource.h"
#include "media/VideoProcessorTransform.h"
#include "mf/Guids.h"
#include "mp4/Mp4NalUnit.h"

namespace Application
{
namespace
{
// The PQ and HLG rows' types say so at every step: the source draws 10-bit
// pictures for the transfer, the encoder signals it, the sink writes colr.
void SetColours(MF::MediaType& Type, DynamicRange Range)
{
    if(!IsHighDynamicRange(Range))
        return;
    Type.SetUINT32(MF::MF_MT_VIDEO_PRIMARIES, MF::MFVideoPrimaries_BT2020);
    Type.SetUINT32(MF::MF_MT_TRANSFER_FUNCTION, Range == DynamicRange::Pq ? MF::MFVideoTransFunc_2084 : MF::MFVideoTransFunc_HLG);
    Type.SetUINT32(MF::MF_MT_YUV_MATRIX, MF::MFVideoTransferMatrix_BT2020_10);
}

std::shared_ptr<MF::MediaType> SourceType(VideoVariant const& Variant)
{
    auto Type = std::make_shared<MF::MediaType>();
    Type->SetGUID(MF::MF_MT_MAJOR_TYPE, MF::MFMediaType_Video);
    Type->SetGUID(MF::MF_MT_SUBTYPE, IsHighDynamicRange(Variant.Range) ? MF::MFVideoFormat_A2R10G10B10 : MF::MFVideoFormat_ARGB32);
    Type->SetSize(MF::MF_MT_FRAME_SIZE, Variant.FrameSizeW, Variant.FrameSizeH);
    Type->SetRatio(MF::MF_MT_FRAME_RATE, Variant.FrameRateN, Variant.FrameRateD);
    SetColours(*Type, Variant.Range);
    return Type;
}

std::shared_ptr<MF::MediaType> EncodedType(VideoVariant const& Variant)
{
    auto Type = std::make_shared<MF::MediaType>();
    Type->SetGUID(MF::MF_MT_MAJOR_TYPE, MF::MFMediaType_Video);
    Type->SetGUID(MF::MF_MT_SUBTYPE, Variant.Subtype == VideoSubtype::Hevc  ? MF::MFVideoFormat_HEVC
                                     : Variant.Subtype == VideoSubtype::Av1 ? MF::MFVideoFormat_AV1
                                     : Variant.Subtype == VideoSubtype::Vp9 ? MF::MFVideoFormat_VP90
                                                                            : MF::MFVideoFormat_H264);
    Type->SetUINT32(MF::MF_MT_AVG_BITRATE, Variant.Bitrate);
    Type->SetSize(MF::MF_MT_FRAME_SIZE, Variant.FrameSizeW, Variant.FrameSizeH);
    Type->SetRatio(MF::MF_MT_FRAME_RATE, Variant.FrameRateN, Variant.FrameRateD);
    SetColours(*Type, Variant.Range);
    return Type;
}
} // namespace

VideoSession::VideoSession(VideoSessionContext const& Context, VideoVariant Variant, std::optional<std::uint32_t> Index) :
    SegmentSession(Index.has_value()), m_Context(Context), m_Variant(std::move(Variant)), m_Index(Index)
{
}

void VideoSession::SetBreakNotices(std::vector<BreakNotice> Notices)
{
    CHECK_ARGUMENT(Notices.size() <= MaximalBreakNotices);
    for(auto const& Notice : Notices)
        CHECK_ARGUMENT(Notice.Number >= 1 && Notice.Start >= 0 && Notice.Duration > 0);
    m_BreakNotices = std::move(Notices);
}

void VideoSession::SetAdvert(std::uint32_t Number, std::uint32_t Count)
{
    CHECK_ARGUMENT(Number >= 1 && Number <= Count);
    m_Advert = AdvertIdentity{Number, Count};
}

void VideoSession::SetChangeNotice(ChangeNotice Notice)
{
    CHECK_ARGUMENT(Notice.Text.size() <= ChangeNotice::MaximalTextLength);
    CHECK_ARGUMENT(std::all_of(Notice.Text.begin(), Notice.Text.end(), [](char Character) { return Character >= 0x20 && Character <= 0x7E; }));
    m_ChangeNotice = std::move(Notice);
}

std::unique_lock<std::mutex> VideoSession::AdmitRun()
{
    if(m_Variant.Subtype != VideoSubtype::Av1)
        return {};
    return std::unique_lock(Av1Encoder::LibraryMutex());
}

SegmentSession::Chain VideoSession::BuildChain(MediaSessionHelper& Helper)
{
    ASSERT(m_Context.IsSoftware());
    auto const Window = SegmentWindow::ForVideo(m_Variant, m_Index);
    auto const Type = SourceType(m_Variant);
    auto const Source = VideoMediaSource::Create();
    Source->SetMediaType(Type);
    Source->SetBackgroundColor(m_BackgroundColor.value_or(VideoMediaSource::VariantColor(m_Variant.Index)));
    if(m_BaseLiveTime)
        Source->SetBaseLiveTime(*m_BaseLiveTime);
    if(m_FrameCodeAsset)
        Source->SetFrameCode({*m_FrameCodeAsset, m_Variant.Index});
    if(!m_BreakNotices.empty())
        Source->SetBreakNotices(m_BreakNotices);
    if(m_Advert)
        Source->SetAdvert(*m_Advert);
    if(m_ChangeNotice)
        Source->SetChangeNotice(*m_ChangeNotice);
    if(m_Surround)
        Source->SetSurround();
    auto const SourceNode = AddSourceNode(Helper, Source, Window.SourceEnd);

    auto const Converter = VideoProcessorTransform::Create();
    auto ConverterType = Type->Clone();
    ConverterType->SetGUID(MF::MF_MT_SUBTYPE, IsHighDynamicRange(m_Variant.Range) ? MF::MFVideoFormat_P010 : MF::MFVideoFormat_NV12);
    Converter->SetOutputType(ConverterType);
    Converter->SetInputType(Type);
    auto const ConverterNode = AddTransformNode(Helper, SourceNode, Converter);

    auto const Encoder = CreateEncoder();
    Encoder->SetOutputType(EncodedType(m_Variant));
    Encoder->SetInputType(ConverterType);
    auto const EncoderNode = AddTransformNode(Helper, ConverterNode, Encoder);
    auto const Encoded = Encoder->GetOutputCurrentType();
    if(m_RawOutput)
    {
        // Without a container the codecs text comes from the parameter sets.
        CHECK_CONDITION(m_Variant.Subtype == VideoSubtype::H264, E_NOTIMPL);
        UseRawSink(Mp4::GetH264CodecsStringFromSample(Encoded->GetBlob(MF::MF_MT_MPEG_SEQUENCE_HEADER)));
    }
    Helper.SetStartPosition(Window.SourceStart);
    return {EncoderNode, Encoded, Window};
}

std::shared_ptr<MF::ITransform> VideoSession::CreateEncoder() const
{
    auto Encoder = VideoEncoderTransform::Create();
    bool const KeyFramesOnly = m_Variant.TrickPlay;
    Encoder->SetValue(MF::CODECAPI_AVEncCommonRateControlMode, MF::PropVariant(VideoEncoderTransform::QualityBasedRateControl));
    Encoder->SetValue(MF::CODECAPI_AVEncCommonQuality, MF::PropVariant(Quality));
    Encoder->SetValue(MF::CODECAPI_AVEncMPVGOPSize, MF::PropVariant(KeyFramesOnly ? 1u : m_KeyFrameInterval));
    if(!KeyFramesOnly && m_Variant.Subtype == VideoSubtype::H264)
        Encoder->SetValue(MF::CODECAPI_AVEncMPVDefaultBPictureCount, MF::PropVariant(BPictureCount));
    Encoder->SetCaptions(m_Captions);
    if(auto const Threads = m_Context.GetEncoderThreads())
        Encoder->SetValue(MF::CODECAPI_AVEncNumWorkerThreads, MF::PropVariant(Threads));
    return Encoder;
}
} // namespace Application
