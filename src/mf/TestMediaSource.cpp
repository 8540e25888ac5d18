// SPDX-License-Identifier: GPL-2.0-or-later
#include "mf/TestMediaSource.h"

#include <mutex>

#include "base/Check.h"
#include "mf/AttributeKeys.h"
#include "mf/Guids.h"
#include "mf/MediaBuffer.h"
#include "mf/MediaTypeHandler.h"
#include "mf/Sample.h"
#include "mf/Platform.h"

namespace MF
{
namespace
{
class SourceBodyOperation final : public OperationQueue<TestMediaSource>::BaseOperation
{
public:
    SourceBodyOperation(std::shared_ptr<TestMediaSource> Owner, std::function<void(TestMediaSource&)> Body) :
        BaseOperation(std::move(Owner)), m_Body(std::move(Body))
    {
    }

private:
    void Run(TestMediaSource& Owner) override { m_Body(Owner); }
    std::function<void(TestMediaSource&)> const m_Body;
};
} // namespace

class TestMediaSource::Stream::ComposeOperation final : public OperationQueue<TestMediaSource::Stream>::BaseOperation
{
public:
    ComposeOperation(std::shared_ptr<Stream> Owner, std::uint32_t Index, std::shared_ptr<Object> Token) :
        BaseOperation(std::move(Owner)), m_Index(Index), m_Token(std::move(Token))
    {
    }

private:
    void Run(Stream& Owner) override { Owner.Compose(m_Index, m_Token); }
    std::uint32_t const m_Index;
    std::shared_ptr<Object> const m_Token;
};

std::shared_ptr<TestMediaSource> TestMediaSource::Create(Settings Value)
{
    CHECK_ARGUMENT(Value.Type && Value.SampleDuration > 0);
    auto Source = std::make_shared<TestMediaSource>(std::move(Value));
    auto Descriptor = std::make_shared<StreamDescriptor>(0, std::make_shared<MediaTypeHandler>(Source->m_Settings.Type));
    Source->m_PresentationDescriptor = std::make_shared<PresentationDescriptor>(std::vector{Descriptor});
    Source->m_PresentationDescriptor->SelectStream(0);
    Source->m_Stream = std::make_shared<Stream>(Source, Descriptor);
    return Source;
}

TestMediaSource::TestMediaSource(Settings Value) : m_Settings(std::move(Value)), m_WorkQueue(AllocateSerialWorkQueue())
{
    CreateEventQueue();
}

std::uint32_t TestMediaSource::GetCharacteristics()
{
    NotShutdownNeeded();
    return MFMEDIASOURCE_CAN_SEEK | MFMEDIASOURCE_CAN_PAUSE | MFMEDIASOURCE_DOES_NOT_USE_NETWORK;
}

std::shared_ptr<PresentationDescriptor> TestMediaSource::CreatePresentationDescriptor()
{
    std::shared_lock Lock(GetLock());
    NotShutdownNeeded();
    return m_PresentationDescriptor->Clone();
}

void TestMediaSource::QueueBody(std::function<void(TestMediaSource&)> Body)
{
    CHECK_CONDITION(QueueOperation(m_WorkQueue, std::make_shared<SourceBodyOperation>(shared_from_this(), std::move(Body))), MF_E_SHUTDOWN);
}

void TestMediaSource::Start(std::shared_ptr<PresentationDescriptor> const& Descriptor, Guid const& TimeFormat, PropVariant const& StartPosition)
{
    std::shared_lock Lock(GetLock());
    NotShutdownNeeded();
    CHECK_ARGUMENT(Descriptor && Descriptor->GetStreamDescriptorCount() == 1);
    CHECK_CONDITION(TimeFormat == GUID_NULL, MF_E_UNSUPPORTED_TIME_FORMAT);
    CHECK_ARGUMENT(StartPosition.IsEmpty() || StartPosition.GetType() == PropVariant::Type::Int64);
    std::optional<std::int64_t> const Position = StartPosition.IsEmpty() ? std::nullopt : std::optional(StartPosition.GetInt64());
    auto const Duration = Descriptor->FindItem(MF_PD_DURATION);
    std::optional<std::int64_t> const DurationValue = Duration ? std::optional(Duration->GetInt64()) : std::nullopt;
    QueueBody([Position, DurationValue](TestMediaSource& Source) {
        auto const Stream = Source.m_Stream;
        Source.InternalQueueEvent(Source.m_Activated ? MEUpdatedStream : MENewStream, S_OK, PropVariant(std::static_pointer_cast<Object>(Stream)));
        Source.m_Activated = true;
        Stream->Start(Position, DurationValue);
        Source.InternalQueueEvent(MESourceStarted);
    });
}

void TestMediaSource::Stop()
{
    std::shared_lock Lock(GetLock());
    NotShutdownNeeded();
    QueueBody([](TestMediaSource& Source) {
        Source.m_Stream->StopStream();
        Source.InternalQueueEvent(MESourceStopped);
    });
}

void TestMediaSource::Shutdown()
{
    std::unique_lock Lock(GetLock());
    MarkShutdown();
    ShutdownEventQueue();
    m_Stream->ShutdownStream();
    m_WorkQueue->Shutdown();
}

TestMediaSource::Stream::Stream(std::shared_ptr<TestMediaSource> const& Source, std::shared_ptr<StreamDescriptor> Descriptor) :
    m_Source(Source), m_Descriptor(std::move(Descriptor)), m_WorkQueue(Source->m_WorkQueue), m_Settings(Source->m_Settings)
{
    CreateEventQueue();
}

void TestMediaSource::Stream::Start(std::optional<std::int64_t> Position, std::optional<std::int64_t> Duration)
{
    std::unique_lock Lock(GetLock());
    if(Position)
        m_NextIndex = static_cast<std::uint32_t>((*Position + m_Settings.SampleDuration - 1) / m_Settings.SampleDuration);
    m_Duration = Duration;
    m_Started = true;
    m_Ended = false;
    InternalQueueEvent(MEStreamStarted);
}

void TestMediaSource::Stream::RequestSample(std::shared_ptr<Object> Token)
{
    std::unique_lock Lock(GetLock());
    NotShutdownNeeded();
    if(!m_Started || m_Ended)
        return;
    QueueOperation(m_WorkQueue, std::make_shared<ComposeOperation>(shared_from_this(), m_NextIndex++, std::move(Token)));
}

void TestMediaSource::Stream::Compose(std::uint32_t Index, std::shared_ptr<Object> const& Token)
{
    std::unique_lock Lock(GetLock());
    if(IsShutdown() || m_Ended || (m_Settings.StallingSampleIndex && Index >= *m_Settings.StallingSampleIndex))
        return;
    CHECK_CONDITION(m_Settings.FailingSampleIndex != Index, E_FAIL);
    std::int64_t const Time = Index * m_Settings.SampleDuration;
    if(m_Duration && Time >= *m_Duration)
    {
        m_Ended = true;
        InternalQueueEvent(MEEndOfStream);
        if(auto const Source = m_Source.lock())
            Source->QueueBody([](TestMediaSource& Self) { Self.InternalQueueEvent(MEEndOfPresentation); });
        return;
    }
    auto Buffer = MediaBuffer::Create(m_Settings.PayloadSize);
    for(std::size_t Position = 0; Position < m_Settings.PayloadSize; ++Position)
        Buffer->GetData()[Position] = static_cast<std::uint8_t>(Index + Position);
    Buffer->SetCurrentLength(m_Settings.PayloadSize);
    auto Sample = MF::Sample::Create();
    Sample->AddBuffer(std::move(Buffer));
    Sample->SetSampleTime(Time);
    Sample->SetSampleDuration(m_Settings.SampleDuration);
    Sample->SetUINT32(MFSampleExtension_CleanPoint, 1);
    if(Index == 0)
        Sample->SetUINT32(MFSampleExtension_Discontinuity, 1);
    if(Token)
        Sample->SetObject(MFSampleExtension_Token, Token);
    InternalQueueEvent(MEMediaSample, S_OK, PropVariant(std::static_pointer_cast<Object>(Sample)));
}

void TestMediaSource::Stream::StopStream()
{
    std::unique_lock Lock(GetLock());
    m_Started = false;
    InternalQueueEvent(MEStreamStopped);
}

void TestMediaSource::Stream::ShutdownStream()
{
    std::unique_lock Lock(GetLock());
    if(!IsShutdown())
        MarkShutdown();
    ShutdownEventQueue();
}
} // namespace MF
