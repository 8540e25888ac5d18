// SPDX-License-Identifier: GPL-2.0-or-later
#include "media/VideoEncoder.h"

#include "base/Check.h"
#include "media/Av1Encoder.h"
#include "media/CaptionSei.h"
#include "media/H264Encoder.h"
#include "media/HevcEncoder.h"
#include "media/Vp9Encoder.h"

namespace Application
{
VideoEncoder::VideoEncoder(VideoEncoderSettings const& Settings) : m_Settings(Settings)
{
    CHECK_ARGUMENT(Settings.Width > 0 && Settings.Height > 0);
    CHECK_ARGUMENT(Settings.RateN > 0 && Settings.RateD > 0);
    CHECK_ARGUMENT(Settings.GopSize > 0);
    // 10-bit pictures are the wide-gamut streams', of HEVC and AV1 only.
    CHECK_ARGUMENT(VideoPicture::IsWide(Settings.InputFormat) == IsHighDynamicRange(Settings.Range));
    CHECK_ARGUMENT(!IsHighDynamicRange(Settings.Range) || Settings.Format == VideoEncoderSettings::Codec::Hevc ||
                   Settings.Format == VideoEncoderSettings::Codec::Av1);
    if(Settings.Captions != VideoEncoderSettings::CaptionServices::None)
        m_Captions.emplace(Settings.Captions, Settings.RateN, Settings.RateD);
}

VideoEncoder::~VideoEncoder() = default;

std::unique_ptr<VideoEncoder> VideoEncoder::Create(VideoEncoderSettings const& Settings)
{
    if(Settings.Format == VideoEncoderSettings::Codec::Hevc)
        return std::make_unique<HevcEncoder>(Settings);
    if(Settings.Format == VideoEncoderSettings::Codec::Av1)
        return std::make_unique<Av1Encoder>(Settings);
    if(Settings.Format == VideoEncoderSettings::Codec::Vp9)
        return std::make_unique<Vp9Encoder>(Settings);
    return std::make_unique<H264Encoder>(Settings);
}

void VideoEncoder::Encode(VideoPicture const& Picture, std::int64_t Time, std::int64_t Duration, std::vector<EncodedSample>& Output)
{
    CHECK_ARGUMENT(Picture.Width == m_Settings.Width && Picture.Height == m_Settings.Height);
    std::int64_t const Pts = m_InputCount++;
    m_PendingTimes.emplace(Pts, PictureTimes{Time, Duration});
    if(Pts == 0)
        for(std::int64_t Step = m_ReorderDelay; Step > 0; --Step)
            m_DecodeTimes.push_back(Time - Step * Duration);
    m_DecodeTimes.push_back(Time);
    CodedPicture Coded;
    if(EncodePicture(&Picture, Pts, Coded))
        Deliver(Coded, Output);
}

void VideoEncoder::Drain(std::vector<EncodedSample>& Output)
{
    CodedPicture Coded;
    while(!m_PendingTimes.empty() && EncodePicture(nullptr, 0, Coded))
        Deliver(Coded, Output);
    // Every picture put in must have come out.
    CHECK_LINE(m_PendingTimes.empty());
    Drained();
}

void VideoEncoder::Deliver(CodedPicture& Coded, std::vector<EncodedSample>& Output)
{
    auto const Times = m_PendingTimes.find(Coded.Pts);
    CHECK_LINE(Times != m_PendingTimes.end());
    ASSERT(!m_DecodeTimes.empty());
    EncodedSample Sample;
    if(m_OutputCount++ == 0 && m_SequenceHeaderInFront)
    {
        Sample.Data.reserve(m_SequenceHeader.size() + Coded.Data.size());
        Sample.Data = m_SequenceHeader;
        Sample.Data.insert(Sample.Data.end(), Coded.Data.begin(), Coded.Data.end());
    }
    else
        Sample.Data = std::move(Coded.Data);
    if(m_Captions)
        CaptionSei::Insert(m_Settings.Format, Sample.Data, CaptionSei::NalUnit(m_Settings.Format, m_Captions->ForPicture(Times->second.Time)));
    Sample.Time = Times->second.Time;
    Sample.Duration = Times->second.Duration;
    Sample.DecodeTime = m_DecodeTimes.front();
    Sample.KeyFrame = Coded.Idr;
    Sample.PictureType = Coded.PictureType;
    m_PendingTimes.erase(Times);
    m_DecodeTimes.pop_front();
    Output.push_back(std::move(Sample));
    Coded.Data.clear();
}
} // namespace Application
