// SPDX-License-Identifier: GPL-2.0-or-later
#include "mp4/Mp4MediaSinkFlacStreamSink.h"

#include "mp4/Mp4FragmentTiming.h"

namespace Mp4
{
namespace
{
// floor(Position × 10^7 / Rate) without overflow.
std::int64_t SampleTime(std::uint64_t Position, std::uint32_t Rate)
{
    return static_cast<std::int64_t>(static_cast<unsigned __int128>(Position) * FragmentTiming::UnitsPerSecond / Rate);
}
} // namespace

void Mp4MediaSink::FlacStreamSink::ProcessCodecSample(MF::Sample& Sample, std::span<std::uint8_t> Payload, Mp4MediaSink& Sink)
{
    std::uint32_t const Count = Sample.GetUINT32(MF::MFSampleExtension_FlacSampleCount);
    if(Count == 0)
    {
        m_PendingHeader.insert(m_PendingHeader.end(), Payload.begin(), Payload.end());
        return;
    }
    if(Sink.IsInitializationSegmentDue())
    {
        m_Record.ParseStreamHeader(m_PendingHeader);
        m_PendingHeader.clear();
        Sink.WriteInitializationSegment();
    }
    // The encoder's own sample position gives exact times, whatever the
    // times of the PCM samples fed to it were.
    std::uint32_t const Rate = GetTimescale();
    std::uint64_t const Position = Sample.GetUINT64(MF::MFSampleExtension_FlacSamplePosition);
    std::int64_t const Start = SampleTime(Position, Rate);
    std::int64_t const Duration = SampleTime(Position + Count, Rate) - Start;
    WriteFragment(Sink, GetStartOffset() + Start, Duration, true, Payload);
}
} // namespace Mp4
