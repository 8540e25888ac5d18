// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "mf/Object.h"

namespace MF
{
// Where sinks write their output: the one operation they use. Failures
// raise their HResultError.
class IByteStream : public virtual Object
{
public:
    // The count written.
    virtual std::uint32_t Write(std::uint8_t const* Buffer, std::uint32_t Count) = 0;
    // The same for bytes the writer gives away: a stream that keeps what is
    // written keeps this buffer as it is rather than a copy of it.
    virtual std::uint32_t WriteOwned(std::vector<std::uint8_t> Bytes) { return Write(Bytes.data(), static_cast<std::uint32_t>(Bytes.size())); }
};
} // namespace MF
