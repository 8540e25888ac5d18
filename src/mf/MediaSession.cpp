// SPDX-License-Identifier: GPL-2.0-or-later
#include "mf/MediaSession.h"

#include "base/Check.h"
#include "mf/AttributeKeys.h"
#include "mf/Guids.h"
#include "mf/IShutdown.h"
#include "mf/MediaStatus.h"
#include "mf/Platform.h"

namespace MF
{
namespace
{
// The context of the marker that the session places after a stream's last sample.
PropVariant const EndOfSegmentContext{std::uint64_t{0x454F53}};

// Raised errors of best-effort calls while stopping or tearing down are
// traced and dropped: the pipeline is going away either way.
template <typename BodyT>
void BestEffort(BodyT&& Body) noexcept
{
    HRESULT const Status = StatusBoundary(std::forward<BodyT>(Body));
    if(Failed(Status) && Status != MF_E_SHUTDOWN)
        TRACE("Ignored failure 0x%08X\n", static_cast<unsigned>(Status));
}
} // namespace

std::shared_ptr<MediaSession> MediaSession::Create()
{
    return std::make_shared<MediaSession>();
}

MediaSession::MediaSession() : m_WorkQueue(AllocateSerialWorkQueue())
{
    CreateEventQueue();
}

MediaSession::~MediaSession()
{
    // An owner that never shut the session down still gets its pipeline shut down.
    if(!IsShutdown())
        Teardown();
}

void MediaSession::SetTopology(std::uint32_t Flags, std::shared_ptr<Topology> const& Value)
{
    NotShutdownNeeded();
    CHECK_ARGUMENT(Flags == 0 && Value);
    Post([Value](MediaSession& Session) { Session.DoSetTopology(Value); });
}

void MediaSession::Start(Guid const& TimeFormat, PropVariant const& StartPosition)
{
    NotShutdownNeeded();
    CHECK_CONDITION(TimeFormat == GUID_NULL, MF_E_UNSUPPORTED_TIME_FORMAT);
    CHECK_ARGUMENT(StartPosition.IsEmpty() || StartPosition.GetType() == PropVariant::Type::Int64);
    std::optional<std::int64_t> const Position = StartPosition.IsEmpty() ? std::nullopt : std::optional(StartPosition.GetInt64());
    Post([Position](MediaSession& Session) { Session.DoStart(Position); });
}

void MediaSession::Stop()
{
    NotShutdownNeeded();
    Post([](MediaSession& Session) { Session.DoStop(); });
}

void MediaSession::Close()
{
    NotShutdownNeeded();
    Post([](MediaSession& Session) { Session.DoClose(); });
}

void MediaSession::Shutdown()
{
    std::lock_guard ProcessLock(m_ProcessMutex);
    {
        std::unique_lock Lock(GetLock());
        MarkShutdown();
    }
    Teardown();
}

void MediaSession::Post(std::function<void(MediaSession&)> Body)
{
    auto Self = shared_from_this();
    if(!m_WorkQueue->Put([Self, Body = std::move(Body)] { Self->Guarded(Body); }))
        throw HResultError(MF_E_SHUTDOWN);
}

void MediaSession::Guarded(std::function<void(MediaSession&)> const& Body)
{
    std::lock_guard ProcessLock(m_ProcessMutex);
    if(IsShutdown())
        return;
    HRESULT const Status = StatusBoundary([&] { Body(*this); });
    if(Failed(Status))
        Fail(Status);
}

void MediaSession::Fail(HRESULT Status)
{
    if(m_Failed)
        return;
    TRACE("Pipeline failure 0x%08X\n", static_cast<unsigned>(Status));
    m_Failed = true;
    m_Outputs.clear();
    InternalQueueEvent(MEError, Status);
}

void MediaSession::QueueTopologyStatus(std::uint32_t Status)
{
    auto Event = MediaEvent::Create(MESessionTopologyStatus, {}, S_OK, PropVariant(std::static_pointer_cast<Object>(m_Topology)));
    Event->SetUINT32(MF_EVENT_TOPOLOGY_STATUS, Status);
    InternalQueueEvent(std::move(Event));
}

void MediaSession::DoSetTopology(std::shared_ptr<Topology> const& Value)
{
    HRESULT const Status = StatusBoundary([&] {
        CHECK_CONDITION(m_State == State::Created, MF_E_INVALIDREQUEST);
        // Kept even when it does not resolve: its components are shut down with the session.
        m_Topology = Value;
        Resolve(*Value);
    });
    InternalQueueEvent(MESessionTopologySet, Status, PropVariant(std::static_pointer_cast<Object>(Value)));
    if(Failed(Status))
        return;
    m_State = State::Ready;
    QueueTopologyStatus(MF_TOPOSTATUS_READY);
}

void MediaSession::Resolve(Topology const& Value)
{
    auto const SourceNodes = Value.GetSourceNodeCollection();
    CHECK_CONDITION(SourceNodes.size() == 1 && Value.GetOutputNodeCollection().size() == 1, MF_E_TOPO_UNSUPPORTED);
    auto const& SourceNode = SourceNodes.front();
    auto Source = SourceNode->GetObject<IMediaSource>(MF_TOPONODE_SOURCE);
    auto PresentationDescriptor = SourceNode->GetObject<MF::PresentationDescriptor>(MF_TOPONODE_PRESENTATION_DESCRIPTOR);
    auto const StreamDescriptor = SourceNode->GetObject<MF::StreamDescriptor>(MF_TOPONODE_STREAM_DESCRIPTOR);
    auto UpstreamType = StreamDescriptor->GetMediaTypeHandler()->GetCurrentMediaType();
    CHECK_CONDITION(UpstreamType, MF_E_INVALIDMEDIATYPE);

    std::vector<std::shared_ptr<ITransform>> Transforms;
    auto Node = SourceNode->GetOutput(0);
    for(; Node && Node->GetNodeType() == MF_TOPOLOGY_TRANSFORM_NODE; Node = Node->GetOutput(0))
    {
        auto Transform = std::dynamic_pointer_cast<ITransform>(Node->GetObject());
        CHECK_CONDITION(Transform, MF_E_TOPO_UNSUPPORTED);
        auto const InputType = Transform->GetInputCurrentType();
        constexpr auto Connects = MF_MEDIATYPE_EQUAL_MAJOR_TYPES | MF_MEDIATYPE_EQUAL_FORMAT_TYPES;
        CHECK_CONDITION((InputType->IsEqual(*UpstreamType) & Connects) == Connects, MF_E_INVALIDMEDIATYPE);
        UpstreamType = Transform->GetOutputCurrentType();
        Transforms.push_back(std::move(Transform));
    }
    CHECK_CONDITION(Node && Node->GetNodeType() == MF_TOPOLOGY_OUTPUT_NODE, MF_E_TOPO_UNSUPPORTED);
    auto StreamSink = std::dynamic_pointer_cast<IStreamSink>(Node->GetObject());
    CHECK_CONDITION(StreamSink, MF_E_TOPO_UNSUPPORTED);
    CHECK_CONDITION(StreamSink->GetMediaTypeHandler()->IsMediaTypeSupported(UpstreamType, nullptr), MF_E_INVALIDMEDIATYPE);
    auto MediaSink = StreamSink->GetMediaSink();
    CHECK_CONDITION(MediaSink, MF_E_TOPO_UNSUPPORTED);

    m_Source = std::move(Source);
    m_PresentationDescriptor = std::move(PresentationDescriptor);
    m_Transforms = std::move(Transforms);
    m_StreamSink = std::move(StreamSink);
    m_MediaSink = std::move(MediaSink);
}

void MediaSession::DoStart(std::optional<std::int64_t> StartPosition)
{
    CHECK_CONDITION(m_State == State::Ready || m_State == State::Stopped, MF_E_INVALIDREQUEST);
    CHECK_CONDITION(!m_Failed, MF_E_INVALIDREQUEST);
    if(!m_Streaming)
    {
        Subscribe(Generator::Source);
        Subscribe(Generator::StreamSink);
        for(auto const& Transform : m_Transforms)
            Transform->ProcessMessage(MFT_MESSAGE_NOTIFY_BEGIN_STREAMING, 0);
        m_MediaSink->SetPresentationClock(m_Clock);
        m_Streaming = true;
    }
    for(auto const& Transform : m_Transforms)
        Transform->ProcessMessage(MFT_MESSAGE_NOTIFY_START_OF_STREAM, 0);
    m_SourceStarted = m_SinkStarted = m_SourceStopped = m_SinkStopped = false;
    m_StreamEnded = m_ChainDrained = m_PresentationEnded = m_MarkerPlaced = m_SinkEnded = m_EndedReported = false;
    m_SinkRequests = m_SampleRequestsInFlight = 0;
    m_Outputs.clear();
    m_State = State::Starting;
    m_Source->Start(m_PresentationDescriptor, GUID_NULL, StartPosition ? PropVariant(*StartPosition) : PropVariant());
    m_Clock->Start(StartPosition.value_or(PRESENTATION_CURRENT_POSITION));
}

void MediaSession::DoStop()
{
    if(m_Failed || (m_State != State::Starting && m_State != State::Started))
    {
        if(m_State == State::Starting || m_State == State::Started)
            StopComponents();
        if(m_State != State::Closing && m_State != State::Closed)
            m_State = m_Topology ? State::Stopped : m_State;
        InternalQueueEvent(MESessionStopped);
        return;
    }
    m_State = State::Stopping;
    m_SourceStopped = m_SinkStopped = false;
    StopComponents();
}

void MediaSession::StopComponents()
{
    m_Outputs.clear();
    m_SinkRequests = m_SampleRequestsInFlight = 0;
    BestEffort([&] { m_Source->Stop(); });
    BestEffort([&] { m_Clock->Stop(); });
    for(auto const& Transform : m_Transforms)
        BestEffort([&] { Transform->ProcessMessage(MFT_MESSAGE_COMMAND_FLUSH, 0); });
}

void MediaSession::DoClose()
{
    if(m_State == State::Closing || m_State == State::Closed)
        return;
    if(m_State == State::Starting || m_State == State::Started || m_State == State::Stopping)
        StopComponents();
    if(m_Streaming)
        for(auto const& Transform : m_Transforms)
            BestEffort([&] { Transform->ProcessMessage(MFT_MESSAGE_NOTIFY_END_STREAMING, 0); });
    m_State = State::Closing;
    auto const Finalizable = std::dynamic_pointer_cast<IFinalizableMediaSink>(m_MediaSink);
    if(!Finalizable || !m_Streaming)
        return CompleteClose(S_OK);
    std::weak_ptr<MediaSession> const Weak = weak_from_this();
    m_FinalizeCallback = std::make_shared<AsyncCallback>(
        [Weak](std::shared_ptr<AsyncResult> const& Result) {
            if(auto const Session = Weak.lock())
                Session->Guarded([&](MediaSession& Self) { Self.OnFinalized(Result); });
        },
        m_WorkQueue);
    HRESULT const Status = StatusBoundary([&] { Finalizable->BeginFinalize(m_FinalizeCallback, nullptr); });
    if(Failed(Status))
        CompleteClose(Status);
}

void MediaSession::OnFinalized(std::shared_ptr<AsyncResult> const& Result)
{
    if(m_State != State::Closing)
        return;
    auto const Finalizable = std::dynamic_pointer_cast<IFinalizableMediaSink>(m_MediaSink);
    CompleteClose(StatusBoundary([&] { Finalizable->EndFinalize(Result); }));
}

void MediaSession::CompleteClose(HRESULT Status)
{
    m_State = State::Closed;
    InternalQueueEvent(MESessionClosed, Status);
}

void MediaSession::Teardown() noexcept
{
    for(auto const& Callback : {m_SourceCallback, m_StreamCallback, m_StreamSinkCallback, m_FinalizeCallback})
        if(Callback)
            Callback->Clear();
    ShutdownEventQueue();
    if(m_Topology)
        ShutdownComponents(*m_Topology);
    m_Outputs.clear();
    m_Source.reset();
    m_Stream.reset();
    m_PresentationDescriptor.reset();
    m_Transforms.clear();
    m_StreamSink.reset();
    m_MediaSink.reset();
    m_Topology.reset();
    m_WorkQueue->Shutdown();
}

void MediaSession::ShutdownComponents(Topology const& Value) noexcept
{
    // Walks the nodes rather than the resolved chain, so that the components
    // of a topology that failed to resolve are shut down too.
    for(std::size_t Index = 0; Index < Value.GetNodeCount(); ++Index)
        BestEffort([&] {
            auto const Node = Value.GetNode(Index);
            switch(Node->GetNodeType())
            {
            case MF_TOPOLOGY_SOURCESTREAM_NODE:
                if(auto const Source = Node->FindItem(MF_TOPONODE_SOURCE))
                    if(auto const Object = Source->GetObjectAs<IMediaSource>())
                        Object->Shutdown();
                break;
            case MF_TOPOLOGY_TRANSFORM_NODE:
                if(auto const Shutdown = std::dynamic_pointer_cast<IShutdown>(Node->GetObject()))
                    Shutdown->Shutdown();
                break;
            case MF_TOPOLOGY_OUTPUT_NODE:
                if(auto const StreamSink = std::dynamic_pointer_cast<IStreamSink>(Node->GetObject()))
                    StreamSink->GetMediaSink()->Shutdown();
                break;
            default: break;
            }
        });
}

std::shared_ptr<IMediaEventGenerator> MediaSession::GetGenerator(Generator Which) const
{
    switch(Which)
    {
    case Generator::Source: return m_Source;
    case Generator::Stream: return m_Stream;
    case Generator::StreamSink: return m_StreamSink;
    }
    return nullptr;
}

void MediaSession::Subscribe(Generator Which)
{
    auto& Callback = Which == Generator::Source ? m_SourceCallback : Which == Generator::Stream ? m_StreamCallback : m_StreamSinkCallback;
    if(Callback)
        Callback->Clear();
    std::weak_ptr<MediaSession> const Weak = weak_from_this();
    Callback = std::make_shared<AsyncCallback>(
        [Weak, Which](std::shared_ptr<AsyncResult> const& Result) {
            if(auto const Session = Weak.lock())
                Session->OnComponentEvent(Which, Result);
        },
        m_WorkQueue);
    GetGenerator(Which)->BeginGetEvent(Callback, nullptr);
}

void MediaSession::OnComponentEvent(Generator Which, std::shared_ptr<AsyncResult> const& Result)
{
    Guarded([&](MediaSession& Self) {
        auto const Component = Self.GetGenerator(Which);
        if(!Component)
            return;
        std::shared_ptr<MediaEvent> Event;
        HRESULT const Status = StatusBoundary([&] { Event = Component->EndGetEvent(Result); });
        if(Status == MF_E_SHUTDOWN)
            return;
        CHECK(Status);
        Self.m_Progress.fetch_add(1);
        TRACE("%s event %s\n", Which == Generator::Source ? "Source" : Which == Generator::Stream ? "Stream" : "Stream sink",
              Event->Describe().c_str());
        auto const& Callback = Which == Generator::Source ? Self.m_SourceCallback : Which == Generator::Stream ? Self.m_StreamCallback : Self.m_StreamSinkCallback;
        // Ask for the next event first, so a failure in handling this one does not silence the component.
        HRESULT const Rearmed = StatusBoundary([&] { Component->BeginGetEvent(Callback, nullptr); });
        if(Failed(Rearmed) && Rearmed != MF_E_SHUTDOWN)
            Self.Fail(Rearmed);
        if(Failed(Event->GetStatus()))
            return Self.Fail(Event->GetStatus());
        switch(Which)
        {
        case Generator::Source: return Self.OnSourceEvent(*Event);
        case Generator::Stream: return Self.OnStreamEvent(*Event);
        case Generator::StreamSink: return Self.OnStreamSinkEvent(*Event);
        }
    });
}

void MediaSession::OnSourceEvent(MediaEvent const& Event)
{
    switch(Event.GetType())
    {
    case MENewStream:
    case MEUpdatedStream:
    {
        auto Stream = Event.GetValue().GetObjectAs<IMediaStream>();
        CHECK_CONDITION(Stream, E_UNEXPECTED);
        if(Stream != m_Stream)
        {
            m_Stream = std::move(Stream);
            Subscribe(Generator::Stream);
        }
        return;
    }
    case MESourceStarted:
        m_SourceStarted = true;
        return CheckStarted();
    case MESourceStopped:
        m_SourceStopped = true;
        return CheckStopped();
    case MEEndOfPresentation:
        m_PresentationEnded = true;
        return CheckEnded();
    case MEError: return Fail(E_FAIL);
    default: return;
    }
}

void MediaSession::OnStreamEvent(MediaEvent const& Event)
{
    switch(Event.GetType())
    {
    case MEMediaSample:
    {
        if(m_SampleRequestsInFlight)
            --m_SampleRequestsInFlight;
        auto const Sample = Event.GetValue().GetObjectAs<MF::Sample>();
        CHECK_CONDITION(Sample, E_UNEXPECTED);
        if(m_Failed || m_State != State::Started || m_StreamEnded)
            return;
        ProcessChain(Sample, 0);
        return Pump();
    }
    case MEEndOfStream:
        if(m_Failed || (m_State != State::Started && m_State != State::Starting) || m_StreamEnded)
            return;
        m_StreamEnded = true;
        m_SampleRequestsInFlight = 0;
        DrainChain();
        return Pump();
    case MEError: return Fail(E_FAIL);
    default: return;
    }
}

void MediaSession::OnStreamSinkEvent(MediaEvent const& Event)
{
    switch(Event.GetType())
    {
    case MEStreamSinkStarted:
        m_SinkStarted = true;
        return CheckStarted();
    case MEStreamSinkRequestSample:
        if(m_State != State::Starting && m_State != State::Started)
            return;
        ++m_SinkRequests;
        return Pump();
    case MEStreamSinkMarker:
        if(Event.GetValue() == EndOfSegmentContext)
        {
            m_SinkEnded = true;
            CheckEnded();
        }
        return;
    case MEStreamSinkStopped:
        m_SinkStopped = true;
        return CheckStopped();
    case MEError: return Fail(E_FAIL);
    default: return;
    }
}

void MediaSession::ProcessChain(std::shared_ptr<Sample> const& Input, std::size_t Index)
{
    if(Index == m_Transforms.size())
    {
        m_Outputs.push_back(Input);
        return;
    }
    auto const& Transform = m_Transforms[Index];
    Transform->ProcessInput(Input);
    while(auto Output = Transform->ProcessOutput())
        ProcessChain(Output, Index + 1);
}

void MediaSession::DrainChain()
{
    for(std::size_t Index = 0; Index < m_Transforms.size(); ++Index)
    {
        auto const& Transform = m_Transforms[Index];
        Transform->ProcessMessage(MFT_MESSAGE_NOTIFY_END_OF_STREAM, 0);
        Transform->ProcessMessage(MFT_MESSAGE_COMMAND_DRAIN, 0);
        while(auto Output = Transform->ProcessOutput())
            ProcessChain(Output, Index + 1);
    }
    m_ChainDrained = true;
}

void MediaSession::Pump()
{
    if(m_Failed || m_State != State::Started)
        return;
    while(m_SinkRequests && !m_Outputs.empty())
    {
        auto const Sample = std::move(m_Outputs.front());
        m_Outputs.pop_front();
        --m_SinkRequests;
        m_StreamSink->ProcessSample(Sample);
    }
    if(m_StreamEnded)
    {
        if(m_ChainDrained && m_Outputs.empty() && !m_MarkerPlaced)
        {
            m_MarkerPlaced = true;
            m_StreamSink->PlaceMarker(MFSTREAMSINK_MARKER_ENDOFSEGMENT, {}, EndOfSegmentContext);
        }
        return;
    }
    if(!m_SinkRequests || !m_Outputs.empty() || !m_Stream)
        return;
    while(m_SampleRequestsInFlight < MaximalSampleRequestsInFlight)
    {
        ++m_SampleRequestsInFlight;
        m_Stream->RequestSample(nullptr);
    }
}

void MediaSession::CheckStarted()
{
    if(m_State != State::Starting || !m_SourceStarted || !m_SinkStarted)
        return;
    m_State = State::Started;
    InternalQueueEvent(MESessionStarted);
    QueueTopologyStatus(MF_TOPOSTATUS_STARTED_SOURCE);
    // A stream that ended while starting (nothing to present) ends the presentation now.
    if(m_StreamEnded && !m_ChainDrained)
        DrainChain();
    Pump();
    CheckEnded();
}

void MediaSession::CheckStopped()
{
    if(m_State != State::Stopping || !m_SourceStopped || !m_SinkStopped)
        return;
    m_State = State::Stopped;
    InternalQueueEvent(MESessionStopped);
}

void MediaSession::CheckEnded()
{
    if(m_Failed || m_State != State::Started || !m_PresentationEnded || !m_SinkEnded || m_EndedReported)
        return;
    m_EndedReported = true;
    QueueTopologyStatus(MF_TOPOSTATUS_ENDED);
    InternalQueueEvent(MESessionEnded);
}
} // namespace MF
