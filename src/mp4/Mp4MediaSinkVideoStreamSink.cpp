// SPDX-License-Identifier: GPL-2.0-or-later
#include "mp4/Mp4MediaSinkVideoStreamSink.h"

namespace Mp4
{
Mp4MediaSink::VideoStreamSink::VideoStreamSink(std::weak_ptr<Mp4MediaSink> MediaSink, std::uint32_t Identifier, std::shared_ptr<MF::MediaType> const& Type,
                                               VideoCodec Codec) :
    StreamSink(std::move(MediaSink), Identifier, Type), m_Codec(Codec)
{
}

VideoFormat Mp4MediaSink::VideoStreamSink::GetVideoFormat() const
{
    auto const Type = GetMediaType();
    auto const [Width, Height] = Type->GetSize(MF::MF_MT_FRAME_SIZE);
    auto const [Numerator, Denominator] = Type->GetRatio(MF::MF_MT_FRAME_RATE);
    CHECK_LINE(Numerator != 0 && Denominator != 0);
    return {Width, Height, Numerator, Denominator, ColourDescription::FromMediaType(*Type)};
}

std::uint32_t Mp4MediaSink::VideoStreamSink::GetTimescale()
{
    ASSERT(m_Timing);
    return m_Timing->GetTimescale();
}

void Mp4MediaSink::VideoStreamSink::ProcessCodecSample(MF::Sample& Sample, std::span<std::uint8_t> Payload, Mp4MediaSink& Sink)
{
    // On the fragments' timeline: the timing below sees a run that starts
    // at the origin exactly as one at the start of the media.
    std::int64_t const Origin = Sink.GetTimeOrigin();
    std::int64_t const SampleTime = Sample.GetSampleTime() - Origin;
    auto const DecodeTimestampItem = Sample.FindItem(MF::MFSampleExtension_DecodeTimestamp);
    std::optional<std::int64_t> const DecodeTimestamp = DecodeTimestampItem ? std::optional(DecodeTimestampItem->GetInt64() - Origin) : std::nullopt;
    if(!m_Timing)
    {
        auto const Format = GetVideoFormat();
        m_Timing.emplace(Format.m_FrameRateNumerator, Format.m_FrameRateDenominator, SampleTime, DecodeTimestamp);
    }
    bool const Describe = Sink.IsInitializationSegmentDue();
    auto Prepared = PrepareSample(Payload, Describe);
    if(Describe)
        Sink.WriteInitializationSegment();

    auto const Timing = m_Timing->Next(SampleTime, DecodeTimestamp);
    double const Timescale = m_Timing->GetTimescale();
    std::int64_t const PresentationTime = static_cast<std::int64_t>(Timing.m_DecodeTime) + Timing.m_CompositionOffset;
    TRACE("Dts %lld %.3f, Pts %lld %.3f, PictureType %u\n", static_cast<long long>(Timing.m_DecodeTime), static_cast<double>(Timing.m_DecodeTime) / Timescale,
          static_cast<long long>(PresentationTime), static_cast<double>(PresentationTime) / Timescale, Sample.GetUINT32(MF::MFSampleExtension_VideoEncodePictureType, 0));

    bool const Sync = Sample.GetUINT32(MF::MFSampleExtension_CleanPoint, 1) != 0;
    FragmentBuilder::Sample const Description{Sink.TakeSequenceNumber(), m_TrackId, Timing.m_DecodeTime, m_Timing->GetFrameDuration(),
                                                   Timing.m_CompositionOffset, Sync ? FragmentBuilder::SyncSampleFlags : FragmentBuilder::NonSyncVideoFlags};
    auto const* Encryptor = Sink.GetEncryptor();
    auto const Tiles = Encryptor ? FindTiles(Prepared) : std::vector<ProtectedRange>{};
    Sink.WriteFragment(FragmentBuilder::BuildVideo(Description, Prepared, m_Codec, Encryptor, GetVideoFormat().m_Width, Tiles));
}
} // namespace Mp4
