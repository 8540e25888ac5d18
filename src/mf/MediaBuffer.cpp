// SPDX-License-Identifier: GPL-2.0-or-later
#include "mf/MediaBuffer.h"

#include <cstring>

#include "base/Check.h"

namespace MF
{
MediaBuffer::MediaBuffer(std::size_t MaxLength) : m_Data(std::make_unique_for_overwrite<std::uint8_t[]>(MaxLength)), m_MaxLength(MaxLength)
{
}

std::shared_ptr<MediaBuffer> MediaBuffer::Create(std::size_t MaxLength)
{
    return std::make_shared<MediaBuffer>(MaxLength);
}

std::shared_ptr<MediaBuffer> MediaBuffer::CreateFrom(std::span<std::uint8_t const> Data)
{
    auto Buffer = Create(Data.size());
    if(!Data.empty())
        std::memcpy(Buffer->GetData(), Data.data(), Data.size());
    Buffer->SetCurrentLength(Data.size());
    return Buffer;
}

void MediaBuffer::SetCurrentLength(std::size_t Length)
{
    CHECK_ARGUMENT(Length <= m_MaxLength);
    m_CurrentLength = Length;
}
} // namespace MF
