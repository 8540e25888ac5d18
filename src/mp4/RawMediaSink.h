// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "mf/Attributes.h"
#include "mf/IByteStream.h"
#include "mf/IClockStateSink.h"
#include "mf/IFinalizableMediaSink.h"
#include "mf/IStreamSink.h"
#include "mf/MediaEventGeneratorT.h"
#include "mf/MediaType.h"
#include "mf/ShutdownAwareT.h"

namespace Mp4
{
// The simplest media sink: one stream sink whose samples are written,
// payload unchanged, to a byte stream with one write per sample (or
// discarded when there is no byte stream). It ends a topology where no
// container is wanted. Nothing is buffered, so markers are answered and
// finalisation completes at once.
class RawMediaSink final : public MF::IFinalizableMediaSink,
                           public MF::IClockStateSink,
                           public MF::MediaEventGeneratorT<RawMediaSink>,
                           public MF::ShutdownAwareT<RawMediaSink>,
                           public std::enable_shared_from_this<RawMediaSink>
{
public:
    class Stream;

    static constexpr std::uint32_t StreamIdentifier = 0;

    // E_INVALIDARG without a media type; Attributes and ByteStream may be null.
    static std::shared_ptr<RawMediaSink> Create(std::shared_ptr<MF::MediaType> const& Type, std::shared_ptr<MF::Attributes> const& Attributes,
                                                std::shared_ptr<MF::IByteStream> ByteStream);
    RawMediaSink(std::shared_ptr<MF::Attributes> Attributes, std::shared_ptr<MF::IByteStream> ByteStream);
    ~RawMediaSink() override;

    // IMediaSink
    std::uint32_t GetCharacteristics() override;
    std::shared_ptr<MF::IStreamSink> AddStreamSink(std::uint32_t Identifier, std::shared_ptr<MF::MediaType> const& Type) override;
    void RemoveStreamSink(std::uint32_t Identifier) override;
    std::size_t GetStreamSinkCount() override;
    std::shared_ptr<MF::IStreamSink> GetStreamSinkByIndex(std::size_t Index) override;
    std::shared_ptr<MF::IStreamSink> GetStreamSinkById(std::uint32_t Identifier) override;
    void SetPresentationClock(std::shared_ptr<MF::PresentationClock> const& Clock) override;
    std::shared_ptr<MF::PresentationClock> GetPresentationClock() override;
    void Shutdown() override;
    // IFinalizableMediaSink
    void BeginFinalize(std::shared_ptr<MF::IAsyncCallback> Callback, std::shared_ptr<MF::Object> State) override;
    void EndFinalize(std::shared_ptr<MF::AsyncResult> const& Result) override;
    // IClockStateSink
    void OnClockStart(std::int64_t SystemTime, std::int64_t StartOffset) override;
    void OnClockStop(std::int64_t SystemTime) override;
    void OnClockSetRate(std::int64_t SystemTime, float Rate) override;

    std::shared_ptr<MF::Attributes> const& GetAttributes() const noexcept { return m_Attributes; }

private:
    friend class Stream;

    // Called by the stream under the sink's exclusive lock.
    void WriteSample(MF::Sample& Sample);

    std::shared_ptr<MF::Attributes> m_Attributes;
    std::shared_ptr<MF::PresentationClock> m_Clock;
    std::shared_ptr<MF::IByteStream> m_ByteStream;
    std::shared_ptr<Stream> m_Stream;
    bool m_SampleRequestsStopped = false;
};
} // namespace Mp4
