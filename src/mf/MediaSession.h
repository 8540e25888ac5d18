// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "mf/AsyncCallback.h"
#include "mf/IFinalizableMediaSink.h"
#include "mf/IMediaSource.h"
#include "mf/IMediaStream.h"
#include "mf/IStreamSink.h"
#include "mf/ITransform.h"
#include "mf/MediaEventGeneratorT.h"
#include "mf/PresentationClock.h"
#include "mf/ShutdownAwareT.h"
#include "mf/Topology.h"
#include "mf/WorkQueue.h"

namespace MF
{
// Runs a topology of one chain, source stream → transforms → stream sink,
// and reports its progress as session events:
//
//   SetTopology  → MESessionTopologySet (value: the topology; a failure
//                  status when the chain is not one the session runs or its
//                  media types do not connect), MESessionTopologyStatus
//                  (MF_EVENT_TOPOLOGY_STATUS = MF_TOPOSTATUS_READY)
//   Start        → MESessionStarted, MESessionTopologyStatus STARTED_SOURCE;
//                  then samples flow as fast as the stream sink asks for them
//   end of the source's presentation, every sample processed by the sink →
//                  MESessionTopologyStatus ENDED, MESessionEnded
//   Stop         → MESessionStopped
//   Close        → the sink is finalised → MESessionClosed
//   Shutdown     → the source, the transforms (IShutdown) and the sink are
//                  shut down; synchronous
//
// A failure anywhere in the pipeline (a component's MEError or failed
// event, a raised error of a transform or of ProcessSample) is reported once
// as MEError with its status, and the flow stops; the owner then closes and
// shuts down the session (Application::MediaSessionHelper does all this).
// Every session works on a serial work queue of its own, so transforms and
// the stream sink are called from one thread at a time.
class MediaSession final : public MediaEventGeneratorT<MediaSession>,
                           public ShutdownAwareT<MediaSession>,
                           public std::enable_shared_from_this<MediaSession>
{
public:
    // Source samples requested ahead of need, so that the source composes
    // the next sample while the transforms work on the last one.
    static constexpr std::uint32_t MaximalSampleRequestsInFlight = 2;

    // Raises MF_E_PLATFORM_NOT_INITIALIZED without a started platform.
    static std::shared_ptr<MediaSession> Create();
    MediaSession();
    ~MediaSession() override;

    // Flags are reserved (0).
    void SetTopology(std::uint32_t Flags, std::shared_ptr<Topology> const& Value);
    // TimeFormat must be GUID_NULL (MF_E_UNSUPPORTED_TIME_FORMAT); the
    // position is empty (continue) or a 64-bit signed time (E_INVALIDARG).
    void Start(Guid const& TimeFormat, PropVariant const& StartPosition);
    void Stop();
    void Close();
    // MF_E_SHUTDOWN the second time.
    void Shutdown();
    // Counts the events of the pipeline's components that the session has
    // handled (samples, requests ...): a value that stops changing while the
    // session runs means the pipeline stalls.
    std::uint64_t GetProgress() const noexcept { return m_Progress.load(); }

private:
    enum class State
    {
        Created,
        Ready,
        Starting,
        Started,
        Stopping,
        Stopped,
        Closing,
        Closed,
    };
    enum class Generator
    {
        Source,
        Stream,
        StreamSink,
    };

    // Runs Body on the session's queue, serialised with Shutdown; a raised
    // error becomes the session's failure.
    void Post(std::function<void(MediaSession&)> Body);
    void Guarded(std::function<void(MediaSession&)> const& Body);
    void Fail(HRESULT Status);
    void QueueTopologyStatus(std::uint32_t Status);

    void DoSetTopology(std::shared_ptr<Topology> const& Value);
    void Resolve(Topology const& Value);
    void DoStart(std::optional<std::int64_t> StartPosition);
    void DoStop();
    void DoClose();
    void CompleteClose(HRESULT Status);
    void StopComponents();
    void Teardown() noexcept;
    static void ShutdownComponents(Topology const& Value) noexcept;

    void Subscribe(Generator Which);
    std::shared_ptr<IMediaEventGenerator> GetGenerator(Generator Which) const;
    void OnComponentEvent(Generator Which, std::shared_ptr<AsyncResult> const& Result);
    void OnSourceEvent(MediaEvent const& Event);
    void OnStreamEvent(MediaEvent const& Event);
    void OnStreamSinkEvent(MediaEvent const& Event);
    void OnFinalized(std::shared_ptr<AsyncResult> const& Result);

    // Feeds a sample into transform Index (the sink after the last one).
    void ProcessChain(std::shared_ptr<Sample> const& Input, std::size_t Index);
    void DrainChain();
    void Pump();
    void CheckStarted();
    void CheckStopped();
    void CheckEnded();

    std::shared_ptr<WorkQueue> m_WorkQueue;
    std::shared_ptr<PresentationClock> const m_Clock = PresentationClock::Create();
    // Serialises the work on the queue with Shutdown on the owner's thread.
    std::mutex m_ProcessMutex;

    // The resolved chain.
    std::shared_ptr<Topology> m_Topology;
    std::shared_ptr<IMediaSource> m_Source;
    std::shared_ptr<PresentationDescriptor> m_PresentationDescriptor;
    std::shared_ptr<IMediaStream> m_Stream;
    std::vector<std::shared_ptr<ITransform>> m_Transforms;
    std::shared_ptr<IStreamSink> m_StreamSink;
    std::shared_ptr<IMediaSink> m_MediaSink;
    std::shared_ptr<AsyncCallback> m_SourceCallback;
    std::shared_ptr<AsyncCallback> m_StreamCallback;
    std::shared_ptr<AsyncCallback> m_StreamSinkCallback;
    std::shared_ptr<AsyncCallback> m_FinalizeCallback;

    // Progress.
    State m_State = State::Created;
    bool m_Failed = false;
    bool m_Streaming = false;
    bool m_SourceStarted = false;
    bool m_SinkStarted = false;
    bool m_SourceStopped = false;
    bool m_SinkStopped = false;
    bool m_StreamEnded = false;
    bool m_ChainDrained = false;
    bool m_PresentationEnded = false;
    bool m_MarkerPlaced = false;
    bool m_SinkEnded = false;
    bool m_EndedReported = false;
    std::uint32_t m_SinkRequests = 0;
    std::uint32_t m_SampleRequestsInFlight = 0;
    std::deque<std::shared_ptr<Sample>> m_Outputs;
    std::atomic<std::uint64_t> m_Progress{0};
};
} // namespace MF
