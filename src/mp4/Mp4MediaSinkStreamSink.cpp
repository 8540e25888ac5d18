// SPDX-License-Identifier: GPL-2.0-or-later
#include "mp4/Mp4MediaSinkStreamSink.h"

#include "mp4/Mp4ProtectionSignalling.h"

namespace Mp4
{
void Mp4MediaSinkStreamSink::WriteSample(std::shared_ptr<MF::Sample> const& Sample, Mp4MediaSink& Sink)
{
    auto const Buffer = Sample->ConvertToContiguousBuffer();
    ProcessCodecSample(*Sample, Buffer->GetSpan(), Sink);
}

std::uint32_t Mp4MediaSinkStreamSink::InitializeHeaderBox(std::uint32_t TrackId, TrakBox& Trak, TrexBox& Trex, ProtectionSettings const& Protection)
{
    m_TrackId = TrackId;
    StsdBox Stsd;
    InitializeSampleEntry(Stsd);
    if(Protection.IsActive())
        ProtectionSignalling::ProtectSampleEntry(Stsd, Protection);
    std::uint32_t const Timescale = GetTimescale();
    CHECK_LINE(Timescale != 0);
    std::uint32_t Width = 0, Height = 0;
    if(GetTrackKind() == TrackKind::Video)
        std::tie(Width, Height) = GetMediaType()->GetSize(MF::MF_MT_FRAME_SIZE);
    TrackBuilder::Build(TrackId, GetTrackKind(), Timescale, Width, Height, std::move(Stsd), Trak, Trex);
    CompleteTrack(Trak);
    return Timescale;
}
} // namespace Mp4
