// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <memory>

#include "mf/IStreamSink.h"
#include "mf/MediaEventGeneratorT.h"
#include "mf/MediaTypeHandler.h"
#include "mf/ShutdownAwareT.h"
#include "mp4/RawMediaSink.h"

namespace Mp4
{
// The one stream of a RawMediaSink. It knows its sink weakly (the sink owns
// it); every call is serialised by the sink's lock.
class RawMediaSink::Stream final : public MF::IStreamSink,
                                   public MF::MediaEventGeneratorT<RawMediaSink::Stream>,
                                   public MF::ShutdownAwareT<RawMediaSink::Stream>
{
public:
    Stream(std::shared_ptr<RawMediaSink> const& Sink, std::shared_ptr<MF::MediaType> const& Type, std::uint32_t Identifier);

    std::shared_ptr<MF::IMediaSink> GetMediaSink() override;
    std::uint32_t GetIdentifier() override;
    std::shared_ptr<MF::IMediaTypeHandler> GetMediaTypeHandler() override;
    void ProcessSample(std::shared_ptr<MF::Sample> const& Sample) override;
    void PlaceMarker(MF::MFSTREAMSINK_MARKER_TYPE Type, MF::PropVariant const& MarkerValue, MF::PropVariant const& ContextValue) override;
    void Flush() override;

private:
    friend class RawMediaSink;

    std::shared_ptr<RawMediaSink> LockSink();
    void ShutdownStream();

    std::weak_ptr<RawMediaSink> const m_Sink;
    std::shared_ptr<MF::MediaTypeHandler> const m_MediaTypeHandler;
    std::uint32_t const m_Identifier;
};
} // namespace Mp4
