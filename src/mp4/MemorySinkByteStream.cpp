// SPDX-License-Identifier: GPL-2.0-or-later
#include "mp4/MemorySinkByteStream.h"

#include <mutex>

#include "base/Check.h"

namespace Mp4
{
MemorySinkByteStream::MemorySinkByteStream()
{
    m_WriteSizes.reserve(ReservedWriteSizeCount);
}

MemorySinkByteStream::~MemorySinkByteStream()
{
    TRACE("this %p\n", static_cast<void*>(this));
}

std::uint32_t MemorySinkByteStream::Write(std::uint8_t const* Buffer, std::uint32_t Count)
{
    CHECK_ARGUMENT(Buffer || Count == 0);
    std::unique_lock Lock(m_Mutex);
    CHECK_CONDITION(m_Data.size() + Count <= MaximalPendingByteCount, E_OUTOFMEMORY);
    m_Data.insert(m_Data.end(), Buffer, Buffer + Count);
    if(Count)
        m_DataAvailableEvent->Set();
    m_WriteSizes.push_back(Count);
    return Count;
}

void MemorySinkByteStream::TakeData(Consumer const& Value)
{
    std::vector<std::uint8_t> Data;
    std::vector<std::size_t> WriteSizes;
    {
        std::unique_lock Lock(m_Mutex);
        m_DataAvailableEvent->Reset();
        if(m_Data.empty())
            return;
        Data.swap(m_Data);
        WriteSizes.swap(m_WriteSizes);
        m_WriteSizes.reserve(ReservedWriteSizeCount);
    }
    Value(Data, WriteSizes);
}
} // namespace Mp4
