// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "base/SharedBytes.h"
#include "mf/Event.h"
#include "mf/IByteStream.h"

namespace Mp4
{
// A write-only, append-only byte stream that keeps every write as a piece
// of its own, so that the producer can tell the initialisation segment (a
// sink's first write) from the fragments (each one write) and hand each on
// as it is, shared, never copied again. The producer waits on
// GetDataAvailableEvent() (signalled by every non-empty write) and takes
// the pending writes, during the run and once more after it:
//
//   for(auto& Write : ByteStream->TakeWrites()) { ... }
class MemorySinkByteStream final : public MF::IByteStream, public std::enable_shared_from_this<MemorySinkByteStream>
{
public:
    // Bytes kept between two takes at the most; a write beyond fails with
    // E_OUTOFMEMORY, which stops the pipeline instead of exhausting memory.
    static constexpr std::size_t MaximalPendingByteCount = std::size_t{512} << 20;

    MemorySinkByteStream() = default;
    ~MemorySinkByteStream() override;

    static std::shared_ptr<MemorySinkByteStream> Create() { return std::make_shared<MemorySinkByteStream>(); }

    // Copies the bytes: the one copy a write costs.
    std::uint32_t Write(std::uint8_t const* Buffer, std::uint32_t Count) override;
    // Keeps the writer's buffer itself.
    std::uint32_t WriteOwned(std::vector<std::uint8_t> Bytes) override;

    // The writes since the last take, in order (empty ones included), and
    // resets the data-available event.
    std::vector<SharedBytes> TakeWrites();
    // Manual reset; signalled by every non-empty write, reset by TakeWrites.
    std::shared_ptr<MF::Event> const& GetDataAvailableEvent() const noexcept { return m_DataAvailableEvent; }

private:
    std::uint32_t Keep(std::vector<std::uint8_t> Bytes);

    std::mutex m_Mutex;
    std::vector<SharedBytes> m_Writes;
    std::size_t m_PendingBytes = 0;
    std::shared_ptr<MF::Event> const m_DataAvailableEvent = MF::Event::Create(MF::EventReset::Manual);
};
} // namespace Mp4
