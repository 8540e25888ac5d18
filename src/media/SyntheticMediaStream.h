// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>

#include "mf/IMediaStream.h"
#include "mf/MediaEventGeneratorT.h"
#include "mf/MediaType.h"
#include "mf/PoolT.h"
#include "mf/Sample.h"
#include "mf/ShutdownAwareT.h"
#include "mf/WorkQueue.h"

namespace Application
{
class SyntheticMediaSource;

// What the streams of the synthetic sources share: samples made on request
// on the stream's own serial work queue, each exactly on the grid of its
// index whatever the start position, and delivered strictly in request order;
// the stream ends by itself once its samples reach the presentation's
// duration. A derived stream says where sample requests fall on its grid
// (PrepareOperation) and makes them (Compose).
class SyntheticMediaStream : public MF::IMediaStream,
                             public MF::MediaEventGeneratorT<SyntheticMediaStream>,
                             public MF::ShutdownAwareT<SyntheticMediaStream>,
                             public std::enable_shared_from_this<SyntheticMediaStream>
{
public:
    // Requests waiting to be made at the most; further ones are ignored.
    static constexpr std::size_t OperationPoolSize = 32;

    ~SyntheticMediaStream() override;

    // IMediaStream. A request while stopped, before the start or after the
    // end is ignored.
    void RequestSample(std::shared_ptr<MF::Object> Token) override;

    // By the source, on its work queue.
    bool IsActive() const;
    void Activate();
    void Start(std::optional<std::int64_t> Position, std::optional<std::int64_t> Duration);
    void Stop();
    void Shutdown();

protected:
    enum class State : std::uint32_t
    {
        Stopped = 0,
        Started = 2,
    };
    enum class EndOfStream : std::uint32_t
    {
        Running = 0,
        Reached = 1,
        Delivered = 2,
    };

    // One request on its way: where it sits on the grid, and what it made.
    struct ComposeSampleOperation
    {
        std::uint64_t m_Sequence = 0;
        std::uint64_t m_Generation = 0;
        std::int64_t m_SampleIndex = 0;
        std::uint32_t m_SampleCount = 0;
        std::int64_t m_SampleTime = 0;
        std::int64_t m_SampleDuration = 0;
        std::shared_ptr<MF::Object> m_Token;
        std::shared_ptr<MF::Sample> m_Sample;
        bool m_Composed = false;
        bool m_EndOfStream = false;
    };

    SyntheticMediaStream(std::weak_ptr<SyntheticMediaSource> Source, std::shared_ptr<MF::StreamDescriptor> Descriptor);

    // Hooks, called under the stream's lock. OnActivate checks the type and
    // makes the resources; OnStart places the next request at a position.
    virtual void OnActivate(MF::MediaType const& Type) = 0;
    virtual void OnStart(std::optional<std::int64_t> Position, std::optional<std::int64_t> Duration) = 0;
    // Gives the next request its index, time and duration.
    virtual void PrepareOperation(ComposeSampleOperation& Operation) = 0;
    // Makes the sample of the operation, or marks it as the end of the stream.
    virtual void Compose(ComposeSampleOperation& Operation) = 0;

    // The common sample attributes: times, discontinuity at index 0, clean point, token.
    static void SetSampleAttributes(MF::Sample& Sample, ComposeSampleOperation const& Operation);

private:
    void ComposeSampleInvoke(std::shared_ptr<ComposeSampleOperation> const& Operation);
    void QueueOutput(std::shared_ptr<ComposeSampleOperation> const& Operation);

    std::weak_ptr<SyntheticMediaSource> const m_MediaSource;
    std::shared_ptr<MF::StreamDescriptor> const m_StreamDescriptor;
    bool m_Active = false;
    State m_State = State::Stopped;
    EndOfStream m_EndOfStream = EndOfStream::Running;
    // Requests since the last start are numbered, and delivered in that order.
    std::uint64_t m_Generation = 0;
    std::uint64_t m_NextRequestSequence = 0;
    std::uint64_t m_NextDeliverySequence = 0;
    std::map<std::uint64_t, std::shared_ptr<ComposeSampleOperation>> m_OutputMap;
    Pool::PoolT<ComposeSampleOperation, Pool::Strategy::StaticStrategy> m_OperationPool;
    std::shared_ptr<MF::WorkQueue> m_WorkQueue;
};
} // namespace Application
