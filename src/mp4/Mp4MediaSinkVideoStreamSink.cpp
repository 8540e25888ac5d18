#include "mp4/Mp4MediaSinkVideoStreamSink.h"

Mp4MediaSink::VideoStreamSink::VideoStreamSink(std::weak_ptr<Mp4MediaSink> MediaSink, std::uint32_t Identifier, std::shared_ptr<MF::MediaType> const& Type,
                                               Mp4::VideoCodec Codec) :
    StreamSink(std::move(MediaSink), Identifier, Type), m_Codec(Codec)
{
}

Mp4::VideoFormat Mp4MediaSink::VideoStreamSink::GetVideoFormat() const
{
    auto const Type = GetMediaType();
    auto const [Width, Height] = Type->GetSize(MF::MF_MT_FRAME_SIZE);
    auto const [Numerator, Denominator] = Type->GetRatio(MF::MF_MT_FRAME_RATE);
    CHECK_LINE(Numerator != 0 && Denominator != 0);
    return {Width, Height, Numerator, Denominator};
}

void Mp4MediaSink::VideoStreamSink::ProcessCodecSample(MF::Sample& Sample, std::span<std::uint8_t> Payload, Mp4MediaSink& Sink)
{
    auto const NalUnits = Mp4::SplitAnnexB(Payload);
    if(Sink.IsInitializationSegmentDue())
    {
        CollectParameterSets(NalUnits);
        Sink.WriteInitializationSegment();
    }
    auto LengthPrefixed = Mp4::ToLengthPrefixed(NalUnits);

    auto const Format = GetVideoFormat();
    if(!m_Timing)
        m_Timing.emplace(Format.m_FrameRateNumerator);
    std::int64_t const SampleTime = Sample.GetSampleTime();
    auto const DecodeTimestampItem = Sample.FindItem(MF::MFSampleExtension_DecodeTimestamp);
    std::optional<std::int64_t> const DecodeTimestamp = DecodeTimestampItem ? std::optional(DecodeTimestampItem->GetInt64()) : std::nullopt;
    auto const Timing = m_Timing->Next(SampleTime, DecodeTimestamp);
    TRACE("Dts %lld %.3f, Pts %lld %.3f, PictureType %u\n", static_cast<long long>(Timing.m_DecodeTime),
          static_cast<double>(Timing.m_DecodeTime) / Format.m_FrameRateNumerator,
          static_cast<long long>(static_cast<std::int64_t>(Timing.m_DecodeTime) + Timing.m_CompositionOffset),
          static_cast<double>(static_cast<std::int64_t>(Timing.m_DecodeTime) + Timing.m_CompositionOffset) / Format.m_FrameRateNumerator,
          Sample.GetUINT32(MF::MFSampleExtension_VideoEncodePictureType, 0));

    bool const Sync = Sample.GetUINT32(MF::MFSampleExtension_CleanPoint, 1) != 0;
    Mp4::FragmentBuilder::Sample const Description{Sink.TakeSequenceNumber(), m_TrackId, Timing.m_DecodeTime, Format.m_FrameRateDenominator,
                                                   Timing.m_CompositionOffset, Sync ? Mp4::FragmentBuilder::SyncSampleFlags : Mp4::FragmentBuilder::NonSyncVideoFlags};
    Sink.WriteFragment(Mp4::FragmentBuilder::BuildVideo(Description, LengthPrefixed, m_Codec, Sink.GetEncryptor()));
}
