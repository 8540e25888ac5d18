// SPDX-License-Identifier: GPL-2.0-or-later
#include "media/SynchronousTransform.h"

#include "base/Check.h"
#include "mf/MediaStatus.h"

namespace Application
{
void SynchronousTransform::SetOutputType(std::shared_ptr<MF::MediaType> const& Type)
{
    CHECK_ARGUMENT(Type);
    std::lock_guard Lock(m_Mutex);
    CheckOutputType(*Type);
    m_OutputType = Type->Clone();
    m_InputType.reset();
}

void SynchronousTransform::SetInputType(std::shared_ptr<MF::MediaType> const& Type)
{
    CHECK_ARGUMENT(Type);
    std::lock_guard Lock(m_Mutex);
    CHECK_CONDITION(m_OutputType, MF_E_TRANSFORM_TYPE_NOT_SET);
    CheckInputType(*Type);
    m_InputType = Type->Clone();
    Configure();
}

std::shared_ptr<MF::MediaType> SynchronousTransform::GetInputCurrentType()
{
    std::lock_guard Lock(m_Mutex);
    CHECK_CONDITION(m_InputType, MF_E_TRANSFORM_TYPE_NOT_SET);
    return m_InputType->Clone();
}

std::shared_ptr<MF::MediaType> SynchronousTransform::GetOutputCurrentType()
{
    std::lock_guard Lock(m_Mutex);
    CHECK_CONDITION(m_OutputType, MF_E_TRANSFORM_TYPE_NOT_SET);
    return m_OutputType->Clone();
}

void SynchronousTransform::ProcessMessage(MF::MFT_MESSAGE_TYPE Message, std::uint64_t)
{
    std::lock_guard Lock(m_Mutex);
    switch(Message)
    {
    case MF::MFT_MESSAGE_NOTIFY_START_OF_STREAM:
        CHECK_CONDITION(m_InputType && m_OutputType, MF_E_TRANSFORM_TYPE_NOT_SET);
        m_Outputs.clear();
        StartStream();
        return;
    case MF::MFT_MESSAGE_COMMAND_DRAIN:
        CHECK_CONDITION(m_InputType && m_OutputType, MF_E_TRANSFORM_TYPE_NOT_SET);
        Drain();
        return;
    case MF::MFT_MESSAGE_COMMAND_FLUSH:
        m_Outputs.clear();
        return;
    default:
        return;
    }
}

void SynchronousTransform::ProcessInput(std::shared_ptr<MF::Sample> const& Input)
{
    CHECK_ARGUMENT(Input);
    std::lock_guard Lock(m_Mutex);
    CHECK_CONDITION(m_InputType && m_OutputType, MF_E_TRANSFORM_TYPE_NOT_SET);
    // Every output is taken before the next input.
    CHECK_CONDITION(m_Outputs.empty(), MF_E_NOTACCEPTING);
    Process(*Input);
}

std::shared_ptr<MF::Sample> SynchronousTransform::ProcessOutput()
{
    std::lock_guard Lock(m_Mutex);
    if(m_Outputs.empty())
        return nullptr;
    auto Output = std::move(m_Outputs.front());
    m_Outputs.pop_front();
    return Output;
}

std::shared_ptr<MF::Sample> SynchronousTransform::ToSample(EncodedSample&& Encoded)
{
    auto Sample = MF::Sample::Create();
    auto Buffer = MF::MediaBuffer::Create(Encoded.Data.size());
    std::copy(Encoded.Data.begin(), Encoded.Data.end(), Buffer->GetData());
    Buffer->SetCurrentLength(Encoded.Data.size());
    Sample->AddBuffer(std::move(Buffer));
    Sample->SetSampleTime(Encoded.Time);
    Sample->SetSampleDuration(Encoded.Duration);
    Sample->SetUINT32(MF::MFSampleExtension_CleanPoint, Encoded.KeyFrame ? 1 : 0);
    if(Encoded.DecodeTime)
        Sample->SetINT64(MF::MFSampleExtension_DecodeTimestamp, *Encoded.DecodeTime);
    return Sample;
}

std::shared_ptr<MF::MediaBuffer> SynchronousTransform::InputBuffer(MF::Sample& Input, std::size_t Size)
{
    auto Buffer = Input.ConvertToContiguousBuffer();
    CHECK_CONDITION(Buffer && Buffer->GetCurrentLength() >= Size, MF_E_BUFFERTOOSMALL);
    return Buffer;
}
} // namespace Application
