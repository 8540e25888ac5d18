// SPDX-License-Identifier: GPL-2.0-or-later
#include "mp4/MemorySinkByteStream.h"

#include <utility>

#include "base/Check.h"

namespace Mp4
{
MemorySinkByteStream::~MemorySinkByteStream()
{
    TRACE("this %p\n", static_cast<void*>(this));
}

std::uint32_t MemorySinkByteStream::Write(std::uint8_t const* Buffer, std::uint32_t Count)
{
    CHECK_ARGUMENT(Buffer || Count == 0);
    return Keep(std::vector<std::uint8_t>(Buffer, Buffer + Count));
}

std::uint32_t MemorySinkByteStream::WriteOwned(std::vector<std::uint8_t> Bytes)
{
    CHECK_ARGUMENT(Bytes.size() <= 0xFFFFFFFFu);
    // A buffer that grew in large steps is kept at its size: what is
    // written may stay in a cache for long.
    if(Bytes.capacity() > Bytes.size() + Bytes.size() / 4 + 64)
        Bytes.shrink_to_fit();
    return Keep(std::move(Bytes));
}

std::uint32_t MemorySinkByteStream::Keep(std::vector<std::uint8_t> Bytes)
{
    auto const Count = static_cast<std::uint32_t>(Bytes.size());
    std::lock_guard Lock(m_Mutex);
    CHECK_CONDITION(m_PendingBytes + Count <= MaximalPendingByteCount, E_OUTOFMEMORY);
    m_PendingBytes += Count;
    m_Writes.push_back(std::make_shared<std::vector<std::uint8_t> const>(std::move(Bytes)));
    if(Count)
        m_DataAvailableEvent->Set();
    return Count;
}

std::vector<SharedBytes> MemorySinkByteStream::TakeWrites()
{
    std::lock_guard Lock(m_Mutex);
    m_DataAvailableEvent->Reset();
    m_PendingBytes = 0;
    return std::exchange(m_Writes, {});
}
} // namespace Mp4
