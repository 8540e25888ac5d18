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
    using Consumer = std::function<void(std::vector<std::uint8_t>& Data, std::vector<std::size_t>& WriteSizes)>;

    static constexpr std::size_t ReservedWriteSizeCount = 1024;
    // Bytes kept between two takes at the most; a write beyond fails with
    // E_OUTOFMEMORY, which stops the pipeline instead of exhausting memory.
    static constexpr std::size_t MaximalPendingByteCount = std::size_t{512} << 20;

    MemorySinkByteStream();
    ~MemorySinkByteStream() override;

    static std::shared_ptr<MemorySinkByteStream> Create() { return std::make_shared<MemorySinkByteStream>(); }

    std::uint32_t Write(std::uint8_t const* Buffer, std::uint32_t Count) override;

    // Hands the bytes and write sizes since the last take to Consumer and
    // resets the data-available event; with nothing pending it only resets
    // the event. A take sees whole writes only.
    void TakeData(Consumer const& Value);
    // Manual reset; signalled by every non-empty write, reset by TakeData.
    std::shared_ptr<MF::Event> const& GetDataAvailableEvent() const noexcept { return m_DataAvailableEvent; }

private:
    mutable std::shared_mutex m_Mutex;
    std::vector<std::uint8_t> m_Data;
    std::shared_ptr<MF::Event> const m_DataAvailableEvent = MF::Event::Create(MF::EventReset::Manual);
    std::vector<std::size_t> m_WriteSizes;
};
} // namespace Mp4
