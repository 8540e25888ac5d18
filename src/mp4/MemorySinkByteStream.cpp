// SPDX-License-Identifier: GPL-2.0-or-later
#include "mp4/MemorySinkByteStream.h"

#include <mutex>

#include "base/Check.h"

namespace Mp4
{
MemorySinkByteStream::MemorySinkByteStream()
{
    m_WriteObjectPool.Initialize(InitialWriteObjectCount);
    m_WriteSizes.reserve(ReservedWriteSizeCount);
}

MemorySinkByteStream::~MemorySinkByteStream()
{
    TRACE("this %p\n", static_cast<void*>(this));
}

std::uint32_t MemorySinkByteStream::GetCapabilities()
{
    TRACE("this %p\n", static_cast<void*>(this));
    return MF::MFBYTESTREAM_IS_WRITABLE | MF::MFBYTESTREAM_DOES_NOT_USE_NETWORK;
}

std::uint64_t MemorySinkByteStream::GetLength()
{
    TRACE("this %p\n", static_cast<void*>(this));
    throw HResultError(E_NOTIMPL);
}

void MemorySinkByteStream::SetLength(std::uint64_t Length)
{
    TRACE("this %p, Length %llu\n", static_cast<void*>(this), static_cast<unsigned long long>(Length));
    throw HResultError(E_NOTIMPL);
}

std::uint64_t MemorySinkByteStream::GetCurrentPosition()
{
    std::shared_lock Lock(m_Mutex);
    return m_Position;
}

void MemorySinkByteStream::SetCurrentPosition(std::uint64_t Position)
{
    TRACE("this %p, Position %llu\n", static_cast<void*>(this), static_cast<unsigned long long>(Position));
    throw HResultError(E_NOTIMPL);
}

bool MemorySinkByteStream::IsEndOfStream()
{
    TRACE("this %p\n", static_cast<void*>(this));
    throw HResultError(E_NOTIMPL);
}

std::uint32_t MemorySinkByteStream::Read(std::uint8_t*, std::uint32_t Count)
{
    TRACE("this %p, DataCapacity %u\n", static_cast<void*>(this), Count);
    throw HResultError(E_NOTIMPL);
}

void MemorySinkByteStream::BeginRead(std::uint8_t*, std::uint32_t Count, std::shared_ptr<MF::IAsyncCallback>, std::shared_ptr<MF::Object>)
{
    TRACE("this %p, DataCapacity %u\n", static_cast<void*>(this), Count);
    throw HResultError(E_NOTIMPL);
}

std::uint32_t MemorySinkByteStream::EndRead(std::shared_ptr<MF::AsyncResult> const&)
{
    TRACE("this %p\n", static_cast<void*>(this));
    throw HResultError(E_NOTIMPL);
}

std::uint32_t MemorySinkByteStream::Write(std::uint8_t const* Buffer, std::uint32_t Count)
{
    CHECK_ARGUMENT(Buffer || Count == 0);
    std::unique_lock Lock(m_Mutex);
    CHECK_CONDITION(m_Data.size() + Count <= MaximalPendingByteCount, E_OUTOFMEMORY);
    m_Data.insert(m_Data.end(), Buffer, Buffer + Count);
    if(Count)
        m_DataAvailableEvent->Set();
    m_Position += Count;
    m_WriteSizes.push_back(Count);
    return Count;
}

void MemorySinkByteStream::BeginWrite(std::uint8_t const* Buffer, std::uint32_t Count, std::shared_ptr<MF::IAsyncCallback> Callback,
                                      std::shared_ptr<MF::Object> State)
{
    CHECK_ARGUMENT(Callback);
    auto Object = m_WriteObjectPool.Acquire();
    CHECK_POINTER(Object);
    Object->m_ByteCount = Write(Buffer, Count);
    auto const Result = MF::CreateAsyncResult(std::move(Object), Callback, std::move(State));
    Callback->Invoke(Result);
}

std::uint32_t MemorySinkByteStream::EndWrite(std::shared_ptr<MF::AsyncResult> const& Result)
{
    CHECK_ARGUMENT(Result);
    CHECK(Result->GetStatus());
    auto const Object = std::dynamic_pointer_cast<WriteObject>(Result->GetObject());
    CHECK_ARGUMENT(Object);
    return Object->m_ByteCount;
}

std::uint64_t MemorySinkByteStream::Seek(MF::SeekOrigin Origin, std::int64_t Offset, std::uint32_t Flags)
{
    TRACE("this %p, Origin %d, Offset %lld, Flags 0x%X\n", static_cast<void*>(this), static_cast<int>(Origin), static_cast<long long>(Offset), Flags);
    throw HResultError(E_NOTIMPL);
}

void MemorySinkByteStream::Flush()
{
    TRACE("this %p\n", static_cast<void*>(this));
}

void MemorySinkByteStream::Close()
{
    TRACE("this %p\n", static_cast<void*>(this));
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
