// SPDX-License-Identifier: GPL-2.0-or-later
#include "mf/Sample.h"

#include <cstring>

#include "base/Check.h"
#include "mf/MediaStatus.h"

namespace MF
{
std::int64_t Sample::GetSampleTime() const
{
    CHECK_CONDITION(m_Time.has_value(), MF_E_NO_SAMPLE_TIMESTAMP);
    return *m_Time;
}

std::int64_t Sample::GetSampleDuration() const
{
    CHECK_CONDITION(m_Duration.has_value(), MF_E_NO_SAMPLE_DURATION);
    return *m_Duration;
}

void Sample::AddBuffer(std::shared_ptr<MediaBuffer> Buffer)
{
    CHECK_ARGUMENT(Buffer);
    m_Buffers.push_back(std::move(Buffer));
}

std::size_t Sample::GetTotalLength() const noexcept
{
    std::size_t Length = 0;
    for(auto const& Buffer : m_Buffers)
        Length += Buffer->GetCurrentLength();
    return Length;
}

std::shared_ptr<MediaBuffer> Sample::ConvertToContiguousBuffer()
{
    if(m_Buffers.size() == 1)
        return m_Buffers.front();
    auto Buffer = MediaBuffer::Create(GetTotalLength());
    std::size_t Position = 0;
    for(auto const& Part : m_Buffers)
    {
        if(Part->GetCurrentLength())
            std::memcpy(Buffer->GetData() + Position, Part->GetData(), Part->GetCurrentLength());
        Position += Part->GetCurrentLength();
    }
    Buffer->SetCurrentLength(Position);
    m_Buffers.assign(1, Buffer);
    return Buffer;
}
} // namespace MF
