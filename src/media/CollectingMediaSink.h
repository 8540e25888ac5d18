// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <memory>
#include <mutex>
#include <vector>

#include "mf/IClockStateSink.h"
#include "mf/IMediaSink.h"
#include "mf/IStreamSink.h"
#include "mf/MediaEventGeneratorT.h"
#include "mf/ShutdownAwareT.h"

namespace Application
{
// A media sink for tests: one stream sink that takes any type and keeps
// every sample it is given, in order, asking for the next one each time.
class CollectingMediaSink final : public MF::IMediaSink, public MF::IClockStateSink, public std::enable_shared_from_this<CollectingMediaSink>
{
public:
    class Stream;

    // The stream sink reports MajorType, and takes any type.
    static std::shared_ptr<CollectingMediaSink> Create(MF::Guid const& MajorType);
    CollectingMediaSink();

    std::shared_ptr<MF::IStreamSink> GetStream();
    std::vector<std::shared_ptr<MF::Sample>> GetSamples() const;

    // IMediaSink
    std::uint32_t GetCharacteristics() override { return MF::MEDIASINK_RATELESS; }
    std::shared_ptr<MF::IStreamSink> AddStreamSink(std::uint32_t Identifier, std::shared_ptr<MF::MediaType> const& Type) override;
    void RemoveStreamSink(std::uint32_t Identifier) override;
    std::size_t GetStreamSinkCount() override { return 1; }
    std::shared_ptr<MF::IStreamSink> GetStreamSinkByIndex(std::size_t Index) override;
    std::shared_ptr<MF::IStreamSink> GetStreamSinkById(std::uint32_t Identifier) override;
    void SetPresentationClock(std::shared_ptr<MF::PresentationClock> const& Clock) override;
    std::shared_ptr<MF::PresentationClock> GetPresentationClock() override;
    void Shutdown() override;
    // IClockStateSink
    void OnClockStart(std::int64_t SystemTime, std::int64_t StartOffset) override;
    void OnClockStop(std::int64_t SystemTime) override;
    void OnClockSetRate(std::int64_t, float) override {}

private:
    std::shared_ptr<Stream> m_Stream;
    std::shared_ptr<MF::PresentationClock> m_Clock;
};

class CollectingMediaSink::Stream final : public MF::IStreamSink,
                                          public MF::MediaEventGeneratorT<Stream>,
                                          public MF::ShutdownAwareT<Stream>
{
public:
    Stream(std::weak_ptr<CollectingMediaSink> Sink, MF::Guid const& MajorType);

    std::shared_ptr<MF::IMediaSink> GetMediaSink() override;
    std::uint32_t GetIdentifier() override { return 0; }
    std::shared_ptr<MF::IMediaTypeHandler> GetMediaTypeHandler() override { return m_Handler; }
    void ProcessSample(std::shared_ptr<MF::Sample> const& Sample) override;
    void PlaceMarker(MF::MFSTREAMSINK_MARKER_TYPE Type, MF::PropVariant const& MarkerValue, MF::PropVariant const& ContextValue) override;
    void Flush() override {}

    void Start();
    void Stop();
    void Shutdown();
    std::vector<std::shared_ptr<MF::Sample>> GetSamples() const;

private:
    std::weak_ptr<CollectingMediaSink> const m_Sink;
    std::shared_ptr<MF::IMediaTypeHandler> m_Handler;
    mutable std::mutex m_SamplesMutex;
    std::vector<std::shared_ptr<MF::Sample>> m_Samples;
};
} // namespace Application
