// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <shared_mutex>
#include <vector>

#include "mf/Event.h"
#include "mf/IByteStream.h"
#include "mf/PoolT.h"

namespace Mp4
{
// A write-only, append-only byte stream that keeps what sinks write in
// memory together with the size of every write, so that the producer can
// tell the initialisation segment (a sink's first write) from the fragments.
// The producer waits on GetDataAvailableEvent() (signalled by every
// non-empty write) and takes the pending bytes with TakeData, during the
// run and once more after it:
//
//   ByteStream->TakeData([&](std::vector<std::uint8_t>& Data, std::vector<std::size_t>& WriteSizes) { ... });
class MemorySinkByteStream final : public MF::IByteStream, public std::enable_shared_from_this<MemorySinkByteStream>
{
public:
    // The result object of one BeginWrite; it returns to its pool when let go.
    class WriteObject final : public MF::Object
    {
    public:
        std::uint32_t m_ByteCount = 0;
    };

    using Consumer = std::function<void(std::vector<std::uint8_t>& Data, std::vector<std::size_t>& WriteSizes)>;

    static constexpr std::size_t InitialWriteObjectCount = 16;
    static constexpr std::size_t ReservedWriteSizeCount = 1024;
    // Bytes kept between two takes at the most; a write beyond fails with
    // E_OUTOFMEMORY, which stops the pipeline instead of exhausting memory.
    static constexpr std::size_t MaximalPendingByteCount = std::size_t{512} << 20;

    MemorySinkByteStream();
    ~MemorySinkByteStream() override;

    static std::shared_ptr<MemorySinkByteStream> Create() { return std::make_shared<MemorySinkByteStream>(); }

    std::uint32_t GetCapabilities() override;
    std::uint64_t GetLength() override;
    void SetLength(std::uint64_t Length) override;
    std::uint64_t GetCurrentPosition() override;
    void SetCurrentPosition(std::uint64_t Position) override;
    bool IsEndOfStream() override;
    std::uint32_t Read(std::uint8_t* Buffer, std::uint32_t Count) override;
    void BeginRead(std::uint8_t* Buffer, std::uint32_t Count, std::shared_ptr<MF::IAsyncCallback> Callback, std::shared_ptr<MF::Object> State) override;
    std::uint32_t EndRead(std::shared_ptr<MF::AsyncResult> const& Result) override;
    std::uint32_t Write(std::uint8_t const* Buffer, std::uint32_t Count) override;
    // Writes at once and invokes the callback before returning: the write is
    // complete, so there is nothing to wait for.
    void BeginWrite(std::uint8_t const* Buffer, std::uint32_t Count, std::shared_ptr<MF::IAsyncCallback> Callback,
                    std::shared_ptr<MF::Object> State) override;
    std::uint32_t EndWrite(std::shared_ptr<MF::AsyncResult> const& Result) override;
    std::uint64_t Seek(MF::SeekOrigin Origin, std::int64_t Offset, std::uint32_t Flags) override;
    void Flush() override;
    void Close() override;

    // Hands the bytes and write sizes since the last take to Consumer and
    // resets the data-available event; with nothing pending it only resets
    // the event. A take sees whole writes only.
    void TakeData(Consumer const& Value);
    // Manual reset; signalled by every non-empty write, reset by TakeData.
    std::shared_ptr<MF::Event> const& GetDataAvailableEvent() const noexcept { return m_DataAvailableEvent; }

private:
    mutable std::shared_mutex m_Mutex;
    std::uint64_t m_Position = 0;
    std::vector<std::uint8_t> m_Data;
    std::shared_ptr<MF::Event> const m_DataAvailableEvent = MF::Event::Create(MF::EventReset::Manual);
    Pool::PoolT<WriteObject, Pool::Strategy::DynamicStrategy> m_WriteObjectPool;
    std::vector<std::size_t> m_WriteSizes;
};
} // namespace Mp4
