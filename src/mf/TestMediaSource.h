// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>

#include "mf/IMediaSource.h"
#include "mf/IMediaStream.h"
#include "mf/MediaEventGeneratorT.h"
#include "mf/OperationQueue.h"
#include "mf/ShutdownAwareT.h"
#include "mf/WorkQueue.h"

namespace MF
{
// A media source for tests of pipelines, built on the component framework
// as the real sources are: one stream of samples on a fixed grid (sample n
// at n × SampleDuration) from the start position to MF_PD_DURATION, each
// with PayloadSize bytes (byte i of sample n is (n + i) mod 256). It can
// fail at a chosen sample (the failure surfaces as the stream's MEError)
// or stop answering requests from a chosen sample on (a stall).
class TestMediaSource final : public IMediaSource,
                              public MediaEventGeneratorT<TestMediaSource>,
                              public ShutdownAwareT<TestMediaSource>,
                              public OperationQueue<TestMediaSource>,
                              public std::enable_shared_from_this<TestMediaSource>
{
public:
    struct Settings
    {
        std::shared_ptr<MediaType> Type;
        std::int64_t SampleDuration = 400000;
        std::size_t PayloadSize = 16;
        std::optional<std::uint32_t> FailingSampleIndex;
        std::optional<std::uint32_t> StallingSampleIndex;
    };
    class Stream;

    static std::shared_ptr<TestMediaSource> Create(Settings Value);
    explicit TestMediaSource(Settings Value);

    std::uint32_t GetCharacteristics() override;
    std::shared_ptr<PresentationDescriptor> CreatePresentationDescriptor() override;
    void Start(std::shared_ptr<PresentationDescriptor> const& Descriptor, Guid const& TimeFormat, PropVariant const& StartPosition) override;
    void Stop() override;
    void Shutdown() override;

private:
    friend class Stream;

    void QueueBody(std::function<void(TestMediaSource&)> Body);

    Settings const m_Settings;
    std::shared_ptr<WorkQueue> m_WorkQueue;
    std::shared_ptr<PresentationDescriptor> m_PresentationDescriptor;
    std::shared_ptr<Stream> m_Stream;
    bool m_Activated = false;
};

class TestMediaSource::Stream final : public IMediaStream,
                                      public MediaEventGeneratorT<TestMediaSource::Stream>,
                                      public ShutdownAwareT<TestMediaSource::Stream>,
                                      public OperationQueue<TestMediaSource::Stream>,
                                      public std::enable_shared_from_this<TestMediaSource::Stream>
{
public:
    Stream(std::shared_ptr<TestMediaSource> const& Source, std::shared_ptr<StreamDescriptor> Descriptor);

    void RequestSample(std::shared_ptr<Object> Token) override;

private:
    friend class TestMediaSource;
    class ComposeOperation;

    void Start(std::optional<std::int64_t> Position, std::optional<std::int64_t> Duration);
    void Compose(std::uint32_t Index, std::shared_ptr<Object> const& Token);
    void StopStream();
    void ShutdownStream();

    std::weak_ptr<TestMediaSource> const m_Source;
    std::shared_ptr<StreamDescriptor> const m_Descriptor;
    std::shared_ptr<WorkQueue> m_WorkQueue;
    Settings m_Settings;
    bool m_Started = false;
    bool m_Ended = false;
    std::optional<std::int64_t> m_Duration;
    std::uint32_t m_NextIndex = 0;
};
} // namespace MF
