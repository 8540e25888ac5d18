// SPDX-License-Identifier: GPL-2.0-or-later
#include "media/SyntheticMediaSource.h"

#include "mf/Guids.h"
#include "mf/MediaTypeHandler.h"
#include "mf/Platform.h"
#include "media/SyntheticMediaStream.h"

namespace Application
{
namespace
{
constexpr std::uint32_t StreamIdentifier = 0;
constexpr std::uint32_t CharacteristicsWithDuration = MF::MFMEDIASOURCE_CAN_SEEK | MF::MFMEDIASOURCE_CAN_PAUSE | MF::MFMEDIASOURCE_DOES_NOT_USE_NETWORK;
constexpr std::uint32_t CharacteristicsLive = MF::MFMEDIASOURCE_IS_LIVE | MF::MFMEDIASOURCE_DOES_NOT_USE_NETWORK;
} // namespace

class SyntheticMediaSource::StartOperation final : public BaseOperation
{
public:
    StartOperation(std::shared_ptr<SyntheticMediaSource> Owner, std::shared_ptr<MF::PresentationDescriptor> Descriptor, std::optional<std::int64_t> Position)
        : BaseOperation(std::move(Owner)), m_Descriptor(std::move(Descriptor)), m_Position(Position)
    {
    }

private:
    void Run(SyntheticMediaSource& Source) override { Source.DoStart(*m_Descriptor, m_Position); }

    std::shared_ptr<MF::PresentationDescriptor> const m_Descriptor;
    std::optional<std::int64_t> const m_Position;
};

class SyntheticMediaSource::StopOperation final : public BaseOperation
{
    using BaseOperation::BaseOperation;
    void Run(SyntheticMediaSource& Source) override { Source.DoStop(); }
};

class SyntheticMediaSource::NotifyEndOfStreamOperation final : public BaseOperation
{
    using BaseOperation::BaseOperation;
    void Run(SyntheticMediaSource& Source) override { Source.DoNotifyEndOfStream(); }
};

SyntheticMediaSource::SyntheticMediaSource()
{
    CreateEventQueue();
}

SyntheticMediaSource::~SyntheticMediaSource()
{
    if(m_WorkQueue)
        m_WorkQueue->Shutdown();
}

void SyntheticMediaSource::SetMediaType(std::shared_ptr<MF::MediaType> Type)
{
    CHECK_ARGUMENT(Type);
    std::unique_lock Lock(GetLock());
    NotShutdownNeeded();
    CHECK_CONDITION(!m_PresentationDescriptor, MF_E_INVALIDREQUEST);
    m_MediaType = std::move(Type);
}

std::uint32_t SyntheticMediaSource::GetCharacteristics()
{
    std::shared_lock Lock(GetLock());
    NotShutdownNeeded();
    return m_Duration ? CharacteristicsWithDuration : CharacteristicsLive;
}

std::shared_ptr<MF::PresentationDescriptor> SyntheticMediaSource::CreatePresentationDescriptor()
{
    std::unique_lock Lock(GetLock());
    NotShutdownNeeded();
    auto Descriptor = InternalPresentationDescriptor()->Clone();
    if(m_Duration)
        Descriptor->SetUINT64(MF::MF_PD_DURATION, static_cast<std::uint64_t>(*m_Duration));
    return Descriptor;
}

std::shared_ptr<MF::PresentationDescriptor> SyntheticMediaSource::InternalPresentationDescriptor()
{
    if(m_PresentationDescriptor)
        return m_PresentationDescriptor;
    CHECK_CONDITION(m_MediaType, MF_E_NOT_INITIALIZED);
    auto StreamDescriptor = std::make_shared<MF::StreamDescriptor>(StreamIdentifier, std::make_shared<MF::MediaTypeHandler>(m_MediaType));
    m_Stream = CreateStream(StreamDescriptor);
    m_PresentationDescriptor = std::make_shared<MF::PresentationDescriptor>(std::vector{StreamDescriptor});
    m_PresentationDescriptor->SelectStream(0);
    return m_PresentationDescriptor;
}

void SyntheticMediaSource::Start(std::shared_ptr<MF::PresentationDescriptor> const& Descriptor, MF::Guid const& TimeFormat, MF::PropVariant const& StartPosition)
{
    CHECK_ARGUMENT(Descriptor);
    CHECK_CONDITION(TimeFormat == MF::GUID_NULL, MF_E_UNSUPPORTED_TIME_FORMAT);
    CHECK_ARGUMENT(StartPosition.IsEmpty() || StartPosition.GetType() == MF::PropVariant::Type::Int64);
    std::unique_lock Lock(GetLock());
    NotShutdownNeeded();
    InternalPresentationDescriptor();
    if(!m_WorkQueue)
        m_WorkQueue = MF::AllocateSerialWorkQueue();
    std::optional<std::int64_t> const Position = StartPosition.IsEmpty() ? std::nullopt : std::optional(StartPosition.GetInt64());
    QueueOperation(m_WorkQueue, std::make_shared<StartOperation>(shared_from_this(), Descriptor, Position));
}

void SyntheticMediaSource::Stop()
{
    std::shared_lock Lock(GetLock());
    NotShutdownNeeded();
    CHECK_CONDITION(m_WorkQueue, MF_E_INVALIDREQUEST);
    QueueOperation(m_WorkQueue, std::make_shared<StopOperation>(shared_from_this()));
}

void SyntheticMediaSource::Shutdown()
{
    std::shared_ptr<SyntheticMediaStream> Stream;
    {
        std::unique_lock Lock(GetLock());
        MarkShutdown();
        ShutdownEventQueue();
        Stream = std::move(m_Stream);
        if(m_WorkQueue)
            m_WorkQueue->Shutdown();
    }
    if(Stream)
        Stream->Shutdown();
}

void SyntheticMediaSource::NotifyEndOfStream()
{
    std::shared_lock Lock(GetLock());
    if(IsShutdown() || !m_WorkQueue)
        return;
    QueueOperation(m_WorkQueue, std::make_shared<NotifyEndOfStreamOperation>(shared_from_this()));
}

bool SyntheticMediaSource::HasWorkQueue() const
{
    std::shared_lock Lock(GetLock());
    return m_WorkQueue != nullptr;
}

void SyntheticMediaSource::DoStart(MF::PresentationDescriptor const& Descriptor, std::optional<std::int64_t> Position)
{
    std::unique_lock Lock(GetLock());
    NotShutdownNeeded();
    std::optional<std::int64_t> Duration;
    if(auto const Value = Descriptor.FindItem(MF::MF_PD_DURATION))
        Duration = static_cast<std::int64_t>(Value->GetUInt64());
    m_Duration = Duration;
    CHECK_CONDITION(Descriptor.GetStreamDescriptorCount() == 1, MF_E_INVALIDSTREAMNUMBER);
    bool Selected = false;
    auto const StreamDescriptor = Descriptor.GetStreamDescriptorByIndex(0, &Selected);
    CHECK_CONDITION(StreamDescriptor->GetStreamIdentifier() == StreamIdentifier, MF_E_INVALIDSTREAMNUMBER);
    ASSERT(m_Stream);
    if(Selected)
    {
        bool const New = !m_Stream->IsActive();
        if(New)
            m_Stream->Activate();
        InternalQueueEvent(New ? MF::MENewStream : MF::MEUpdatedStream, S_OK, MF::PropVariant(std::static_pointer_cast<MF::Object>(m_Stream)));
        m_Stream->Start(Position, Duration);
    }
    InternalQueueEvent(MF::MESourceStarted, S_OK, Position ? MF::PropVariant(*Position) : MF::PropVariant());
}

void SyntheticMediaSource::DoStop()
{
    std::unique_lock Lock(GetLock());
    NotShutdownNeeded();
    if(m_Stream && m_Stream->IsActive())
        m_Stream->Stop();
    InternalQueueEvent(MF::MESourceStopped);
}

void SyntheticMediaSource::DoNotifyEndOfStream()
{
    std::unique_lock Lock(GetLock());
    NotShutdownNeeded();
    InternalQueueEvent(MF::MEEndOfPresentation);
}
} // namespace Application
