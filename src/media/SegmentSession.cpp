// SPDX-License-Identifier: GPL-2.0-or-later
#include "media/SegmentSession.h"

#include "base/Check.h"
#include "base/FailureCodes.h"
#include "mf/AttributeKeys.h"
#include "mp4/MemorySinkByteStream.h"
#include "mp4/Mp4MediaSink.h"
#include "mp4/RawMediaSink.h"

namespace Application
{
SegmentSession::~SegmentSession() = default;

void SegmentSession::SetEncryption(Mp4::ProtectionSettings Settings)
{
    CHECK_ARGUMENT(Settings.m_Scheme == Mp4::ProtectionScheme::None || Settings.IsActive());
    m_Protection = std::move(Settings);
}

void SegmentSession::SetTimeOrigin(std::int64_t Origin)
{
    CHECK_ARGUMENT(Origin >= 0);
    m_TimeOrigin = Origin;
}

std::string SegmentSession::GetCodecsString() const
{
    std::lock_guard Lock(m_CodecsMutex);
    return m_CodecsString;
}

void SegmentSession::UseRawSink(std::string CodecsString)
{
    m_Raw = true;
    std::lock_guard Lock(m_CodecsMutex);
    m_CodecsString = std::move(CodecsString);
}

void SegmentSession::Run()
{
    ASSERT(!m_Ran);
    m_Ran = true;
    // Before the runner: it and the pipeline are gone when the pass is.
    auto const Admitted = AdmitRun();
    auto const Helper = MediaSessionHelper::Create();
    {
        std::lock_guard Lock(m_CancelMutex);
        if(m_Cancelled)
            throw HResultError(E_ABORT, "The receiver of the segment is gone");
        m_Runner = Helper;
    }
    m_ByteStream = Mp4::MemorySinkByteStream::Create();
    ConnectSink(*Helper, BuildChain(*Helper));
    Helper->SetEndedCallback([this] { OnEnded(); });
    if(m_DataCallback)
        Helper->SetExtraWait(m_ByteStream->GetDataAvailableEvent(), [this, Runner = Helper.get()] { DeliverPending(Runner); });
    bool const Closed = Helper->Run();
    CheckOutcome(*Helper, Closed);
    if(m_DataCallback)
        DeliverPending(nullptr);
    else
        CollectOutput();
}

void SegmentSession::Cancel()
{
    std::lock_guard Lock(m_CancelMutex);
    m_Cancelled = true;
    if(auto const Runner = m_Runner.lock())
        Runner->Cancel();
}

std::shared_ptr<MF::TopologyNode> SegmentSession::AddSourceNode(MediaSessionHelper& Helper, std::shared_ptr<MF::IMediaSource> const& Source,
                                                                std::int64_t Duration)
{
    auto const Descriptor = Source->CreatePresentationDescriptor();
    Descriptor->SetUINT64(MF::MF_PD_DURATION, static_cast<std::uint64_t>(Duration));
    auto Node = MF::TopologyNode::Create(MF::MF_TOPOLOGY_SOURCESTREAM_NODE);
    Node->SetObject(MF::MF_TOPONODE_SOURCE, Source);
    Node->SetObject(MF::MF_TOPONODE_PRESENTATION_DESCRIPTOR, Descriptor);
    Node->SetObject(MF::MF_TOPONODE_STREAM_DESCRIPTOR, Descriptor->GetStreamDescriptorByIndex(0));
    Helper.GetTopology()->AddNode(Node);
    return Node;
}

std::shared_ptr<MF::TopologyNode> SegmentSession::AddTransformNode(MediaSessionHelper& Helper, std::shared_ptr<MF::TopologyNode> const& Upstream,
                                                                   std::shared_ptr<MF::ITransform> const& Transform)
{
    auto Node = MF::TopologyNode::Create(MF::MF_TOPOLOGY_TRANSFORM_NODE);
    Node->SetObject(Transform);
    Helper.GetTopology()->AddNode(Node);
    Upstream->ConnectOutput(0, Node, 0);
    return Node;
}

void SegmentSession::ConnectSink(MediaSessionHelper& Helper, Chain const& Value)
{
    if(m_Raw)
    {
        m_MediaSink = Mp4::RawMediaSink::Create(Value.EncodedType, nullptr, m_ByteStream);
        m_StreamSink = m_MediaSink->GetStreamSinkByIndex(0);
    }
    else
    {
        m_MediaSink = CreateMp4Sink(Value.Window.FirstSequenceNumber);
        m_StreamSink = m_MediaSink->AddStreamSink(0, Value.EncodedType);
    }
    auto const Node = MF::TopologyNode::Create(MF::MF_TOPOLOGY_OUTPUT_NODE);
    Node->SetObject(m_StreamSink);
    Helper.GetTopology()->AddNode(Node);
    Value.Encoder->ConnectOutput(0, Node, 0);
}

std::shared_ptr<MF::IMediaSink> SegmentSession::CreateMp4Sink(std::uint32_t FirstSequenceNumber)
{
    m_Mp4Sink = Mp4::Mp4MediaSink::Create(m_ByteStream);
    if(m_Protection.IsActive())
        m_Mp4Sink->SetProtection(m_Protection);
    m_Mp4Sink->SetFirstSequenceNumber(FirstSequenceNumber);
    // A header's fragments are dropped: only its initialisation segment
    // counts, and that carries no sample times.
    if(m_Body)
        m_Mp4Sink->SetTimeOrigin(m_TimeOrigin);
    return m_Mp4Sink;
}

void SegmentSession::OnEnded()
{
    // The sink knows its codec state until the runner shuts it down.
    if(m_Mp4Sink)
    {
        auto Codecs = m_Mp4Sink->GetCodecsString();
        std::lock_guard Lock(m_CodecsMutex);
        m_CodecsString = std::move(Codecs);
    }
    if(m_EndedCallback)
        m_EndedCallback();
}

void SegmentSession::CheckOutcome(MediaSessionHelper& Helper, bool Closed)
{
    if(m_DeliveryFailure)
        std::rethrow_exception(m_DeliveryFailure);
    bool Cancelled = false;
    {
        std::lock_guard Lock(m_CancelMutex);
        Cancelled = m_Cancelled;
    }
    if(m_ReceiverGone || Cancelled)
        throw HResultError(E_ABORT, "The receiver of the segment is gone");
    if(auto const Error = Helper.GetError())
        throw HResultError(*Error);
    // A run that neither closed nor failed was stopped as stalled: what it
    // wrote is not the whole segment.
    if(!Closed)
        ThrowCheckFailure(FailureCode::PipelineStreamingStall, TRACE_CONTEXT(), "Helper->Run()", "Pipeline streaming stall suspicion");
}

void SegmentSession::DeliverPending(MediaSessionHelper* Helper)
{
    auto Writes = m_ByteStream->TakeWrites();
    SkipInitializationSegment(Writes);
    if(Writes.empty() || m_ReceiverGone)
        return;
    // This runs inside the runner's wait: a failure must stop the
    // pipeline, not leave the runner before it has closed the session.
    try
    {
        if(m_DataCallback(std::move(Writes)))
            return;
    }
    catch(...)
    {
        m_DeliveryFailure = std::current_exception();
    }
    // No one takes the rest: the runner stops the pipeline at once rather
    // than encoding for no one.
    m_ReceiverGone = true;
    if(Helper)
        Helper->Cancel();
}

void SegmentSession::SkipInitializationSegment(std::vector<SharedBytes>& Writes)
{
    if(m_Raw || m_InitializationSegmentTaken || Writes.empty())
        return;
    m_InitializationSegmentTaken = true;
    Writes.erase(Writes.begin());
}

void SegmentSession::CollectOutput()
{
    auto Writes = m_ByteStream->TakeWrites();
    // A header is the initialisation segment alone.
    if(!m_Raw && !m_Body && !Writes.empty())
        Writes.resize(1);
    else
        SkipInitializationSegment(Writes);
    m_Output = std::move(Writes);
}

std::vector<std::uint8_t> SegmentSession::GetOutput() const
{
    std::vector<std::uint8_t> Bytes;
    for(auto const& Write : m_Output)
        Bytes.insert(Bytes.end(), Write->begin(), Write->end());
    return Bytes;
}
} // namespace Application
