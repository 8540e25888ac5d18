// SPDX-License-Identifier: GPL-2.0-or-later
#include "mf/PassThroughTransform.h"

#include "base/Check.h"

#include <thread>

namespace MF
{
PassThroughTransform::PassThroughTransform() : PassThroughTransform(Settings{})
{
}

PassThroughTransform::PassThroughTransform(Settings Value) : m_Settings(Value)
{
}

void PassThroughTransform::SetOutputType(std::shared_ptr<MediaType> const& Type)
{
    std::lock_guard Lock(m_Mutex);
    NotShutdownNeeded();
    m_OutputType = Type;
}

void PassThroughTransform::SetInputType(std::shared_ptr<MediaType> const& Type)
{
    std::lock_guard Lock(m_Mutex);
    NotShutdownNeeded();
    CHECK_CONDITION(!Type || !m_OutputType || m_OutputType->GetSubtype() == Type->GetSubtype(), MF_E_INVALIDMEDIATYPE);
    m_InputType = Type;
    if(Type && !m_OutputType)
        m_OutputType = Type;
}

std::shared_ptr<MediaType> PassThroughTransform::GetInputCurrentType()
{
    std::lock_guard Lock(m_Mutex);
    CHECK_CONDITION(m_InputType, MF_E_TRANSFORM_TYPE_NOT_SET);
    return m_InputType;
}

std::shared_ptr<MediaType> PassThroughTransform::GetOutputCurrentType()
{
    std::lock_guard Lock(m_Mutex);
    CHECK_CONDITION(m_OutputType, MF_E_TRANSFORM_TYPE_NOT_SET);
    return m_OutputType;
}

void PassThroughTransform::ProcessMessage(MFT_MESSAGE_TYPE Message, std::uint64_t)
{
    std::lock_guard Lock(m_Mutex);
    NotShutdownNeeded();
    switch(Message)
    {
    case MFT_MESSAGE_COMMAND_FLUSH:
        ++m_FlushCount;
        m_Held.clear();
        break;
    case MFT_MESSAGE_COMMAND_DRAIN:
        ++m_DrainCount;
        m_Draining = true;
        break;
    case MFT_MESSAGE_NOTIFY_BEGIN_STREAMING: ++m_BeginStreamingCount; break;
    case MFT_MESSAGE_NOTIFY_END_STREAMING:
        ++m_EndStreamingCount;
        std::this_thread::sleep_for(m_Settings.EndStreamingTime);
        break;
    case MFT_MESSAGE_NOTIFY_END_OF_STREAM: ++m_EndOfStreamCount; break;
    case MFT_MESSAGE_NOTIFY_START_OF_STREAM:
        ++m_StartOfStreamCount;
        m_Draining = false;
        break;
    }
}

void PassThroughTransform::ProcessInput(std::shared_ptr<Sample> const& Input)
{
    CHECK_ARGUMENT(Input);
    std::lock_guard Lock(m_Mutex);
    NotShutdownNeeded();
    CHECK_CONDITION(m_InputType && m_OutputType, MF_E_TRANSFORM_TYPE_NOT_SET);
    CHECK_CONDITION(m_Settings.FailingInputIndex != m_InputCount, E_FAIL);
    ++m_InputCount;
    m_Held.push_back(Input);
}

std::shared_ptr<Sample> PassThroughTransform::ProcessOutput()
{
    std::lock_guard Lock(m_Mutex);
    NotShutdownNeeded();
    if(m_Held.empty() || (!m_Draining && m_Held.size() <= m_Settings.Delay))
        return nullptr;
    auto Output = std::move(m_Held.front());
    m_Held.pop_front();
    return Output;
}

void PassThroughTransform::Shutdown()
{
    std::lock_guard Lock(m_Mutex);
    MarkShutdown();
    m_Held.clear();
}

std::size_t PassThroughTransform::GetInputCount() const
{
    std::lock_guard Lock(m_Mutex);
    return m_InputCount;
}

std::size_t PassThroughTransform::GetMessageCount(MFT_MESSAGE_TYPE Message) const
{
    std::lock_guard Lock(m_Mutex);
    switch(Message)
    {
    case MFT_MESSAGE_COMMAND_FLUSH: return m_FlushCount;
    case MFT_MESSAGE_COMMAND_DRAIN: return m_DrainCount;
    case MFT_MESSAGE_NOTIFY_BEGIN_STREAMING: return m_BeginStreamingCount;
    case MFT_MESSAGE_NOTIFY_END_STREAMING: return m_EndStreamingCount;
    case MFT_MESSAGE_NOTIFY_END_OF_STREAM: return m_EndOfStreamCount;
    case MFT_MESSAGE_NOTIFY_START_OF_STREAM: return m_StartOfStreamCount;
    }
    return 0;
}
} // namespace MF
