// SPDX-License-Identifier: GPL-2.0-or-later
#include "media/SyntheticMediaStream.h"

#include "media/SyntheticMediaSource.h"
#include "mf/AttributeKeys.h"
#include "mf/IMediaSource.h"
#include "mf/Platform.h"
#include "mf/StreamDescriptor.h"

namespace Application
{
SyntheticMediaStream::SyntheticMediaStream(std::weak_ptr<SyntheticMediaSource> Source, std::shared_ptr<MF::StreamDescriptor> Descriptor)
    : m_MediaSource(std::move(Source)), m_StreamDescriptor(std::move(Descriptor))
{
    CreateEventQueue();
}

SyntheticMediaStream::~SyntheticMediaStream()
{
    if(m_WorkQueue)
        m_WorkQueue->Shutdown();
}

void SyntheticMediaStream::RequestSample(std::shared_ptr<MF::Object> Token)
{
    std::unique_lock Lock(GetLock());
    NotShutdownNeeded();
    if(!m_Active || m_State == State::Stopped || m_EndOfStream != EndOfStream::Running)
        return;
    ASSERT(m_State == State::Started);
    auto Operation = m_OperationPool.Acquire();
    if(!Operation)
        return;
    *Operation = ComposeSampleOperation{};
    Operation->m_Sequence = m_NextRequestSequence++;
    Operation->m_Generation = m_Generation;
    Operation->m_Token = std::move(Token);
    PrepareOperation(*Operation);
    auto Self = shared_from_this();
    m_WorkQueue->Put([Self, Operation] { Self->ComposeSampleInvoke(Operation); });
}

bool SyntheticMediaStream::IsActive() const
{
    std::shared_lock Lock(GetLock());
    return m_Active;
}

void SyntheticMediaStream::Activate()
{
    std::unique_lock Lock(GetLock());
    NotShutdownNeeded();
    ASSERT(!m_WorkQueue);
    OnActivate(*m_StreamDescriptor->GetMediaTypeHandler()->GetCurrentMediaType());
    m_OperationPool.Initialize(OperationPoolSize);
    m_WorkQueue = MF::AllocateSerialWorkQueue();
    m_Active = true;
}

void SyntheticMediaStream::Start(std::optional<std::int64_t> Position, std::optional<std::int64_t> Duration)
{
    std::unique_lock Lock(GetLock());
    NotShutdownNeeded();
    ASSERT(m_Active);
    // Requests of an earlier start that are still queued make nothing.
    ++m_Generation;
    m_NextRequestSequence = m_NextDeliverySequence = 0;
    m_OutputMap.clear();
    m_EndOfStream = EndOfStream::Running;
    OnStart(Position, Duration);
    m_State = State::Started;
    TRACE("m_State %u\n", static_cast<unsigned>(m_State));
    InternalQueueEvent(MF::MEStreamStarted, S_OK, Position ? MF::PropVariant(*Position) : MF::PropVariant());
}

void SyntheticMediaStream::Stop()
{
    std::unique_lock Lock(GetLock());
    NotShutdownNeeded();
    ++m_Generation;
    m_OutputMap.clear();
    m_State = State::Stopped;
    TRACE("m_State %u\n", static_cast<unsigned>(m_State));
    InternalQueueEvent(MF::MEStreamStopped);
}

void SyntheticMediaStream::Shutdown()
{
    std::unique_lock Lock(GetLock());
    if(IsShutdown())
        return;
    MarkShutdown();
    ShutdownEventQueue();
    m_OutputMap.clear();
    if(m_WorkQueue)
        m_WorkQueue->Shutdown();
}

void SyntheticMediaStream::SetSampleAttributes(MF::Sample& Sample, ComposeSampleOperation const& Operation)
{
    Sample.SetSampleTime(Operation.m_SampleTime);
    Sample.SetSampleDuration(Operation.m_SampleDuration);
    if(Operation.m_SampleIndex == 0)
        Sample.SetUINT32(MF::MFSampleExtension_Discontinuity, 1);
    Sample.SetUINT32(MF::MFSampleExtension_CleanPoint, 1);
    if(Operation.m_Token)
        Sample.SetObject(MF::MFSampleExtension_Token, Operation.m_Token);
}

void SyntheticMediaStream::ComposeSampleInvoke(std::shared_ptr<ComposeSampleOperation> const& Operation)
{
    bool EndDelivered = false;
    {
        std::unique_lock Lock(GetLock());
        if(IsShutdown() || m_EndOfStream != EndOfStream::Running || Operation->m_Composed || Operation->m_Generation != m_Generation)
            return;
        HRESULT const Status = StatusBoundary([&] {
            Compose(*Operation);
            Operation->m_Composed = true;
            if(Operation->m_EndOfStream)
            {
                m_EndOfStream = EndOfStream::Reached;
                TRACE("m_SampleIndex %lld, m_SampleTime %lld, m_EndOfStream %u\n", static_cast<long long>(Operation->m_SampleIndex),
                      static_cast<long long>(Operation->m_SampleTime), static_cast<unsigned>(m_EndOfStream));
            }
            QueueOutput(Operation);
        });
        if(Failed(Status))
            InternalQueueEvent(MF::MEError, Status);
        EndDelivered = m_EndOfStream == EndOfStream::Delivered;
    }
    // Outside the stream's lock: the source takes its own.
    if(EndDelivered)
        if(auto const Source = m_MediaSource.lock())
            Source->NotifyEndOfStream();
}

void SyntheticMediaStream::QueueOutput(std::shared_ptr<ComposeSampleOperation> const& Operation)
{
    m_OutputMap.emplace(Operation->m_Sequence, Operation);
    for(auto Next = m_OutputMap.find(m_NextDeliverySequence); Next != m_OutputMap.end(); Next = m_OutputMap.find(m_NextDeliverySequence))
    {
        auto const Ready = std::move(Next->second);
        m_OutputMap.erase(Next);
        ++m_NextDeliverySequence;
        Ready->m_Token.reset();
        TRACE("m_SampleIndex %lld, m_SampleTime %lld, m_EndOfStream %u\n", static_cast<long long>(Ready->m_SampleIndex),
              static_cast<long long>(Ready->m_SampleTime), static_cast<unsigned>(m_EndOfStream));
        if(Ready->m_EndOfStream)
        {
            m_EndOfStream = EndOfStream::Delivered;
            m_OutputMap.clear();
            InternalQueueEvent(MF::MEEndOfStream);
            return;
        }
        InternalQueueEvent(MF::MEMediaSample, S_OK, MF::PropVariant(std::static_pointer_cast<MF::Object>(std::move(Ready->m_Sample))));
    }
}
} // namespace Application
