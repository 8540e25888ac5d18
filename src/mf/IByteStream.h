// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <memory>

#include "mf/AsyncResult.h"
#include "mf/IAsyncCallback.h"
#include "mf/Object.h"

namespace MF
{
// Capabilities of a byte stream, with the platform's values.
inline constexpr std::uint32_t MFBYTESTREAM_IS_READABLE = 0x1;
inline constexpr std::uint32_t MFBYTESTREAM_IS_WRITABLE = 0x2;
inline constexpr std::uint32_t MFBYTESTREAM_IS_SEEKABLE = 0x4;
inline constexpr std::uint32_t MFBYTESTREAM_IS_REMOTE = 0x8;
inline constexpr std::uint32_t MFBYTESTREAM_DOES_NOT_USE_NETWORK = 0x800;

enum class SeekOrigin
{
    Begin = 0,
    Current = 1,
};

// Where sinks write their output. Operations a stream does not support
// raise E_NOTIMPL; other failures raise their HResultError.
class IByteStream : public virtual Object
{
public:
    virtual std::uint32_t GetCapabilities() = 0;
    virtual std::uint64_t GetLength() = 0;
    virtual void SetLength(std::uint64_t Length) = 0;
    virtual std::uint64_t GetCurrentPosition() = 0;
    virtual void SetCurrentPosition(std::uint64_t Position) = 0;
    virtual bool IsEndOfStream() = 0;
    virtual std::uint32_t Read(std::uint8_t* Buffer, std::uint32_t Count) = 0;
    virtual void BeginRead(std::uint8_t* Buffer, std::uint32_t Count, std::shared_ptr<IAsyncCallback> Callback, std::shared_ptr<Object> State) = 0;
    virtual std::uint32_t EndRead(std::shared_ptr<AsyncResult> const& Result) = 0;
    // The count written.
    virtual std::uint32_t Write(std::uint8_t const* Buffer, std::uint32_t Count) = 0;
    virtual void BeginWrite(std::uint8_t const* Buffer, std::uint32_t Count, std::shared_ptr<IAsyncCallback> Callback,
                            std::shared_ptr<Object> State) = 0;
    virtual std::uint32_t EndWrite(std::shared_ptr<AsyncResult> const& Result) = 0;
    // The new position.
    virtual std::uint64_t Seek(SeekOrigin Origin, std::int64_t Offset, std::uint32_t Flags) = 0;
    virtual void Flush() = 0;
    virtual void Close() = 0;
};
} // namespace MF
