// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <memory>

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
};
} // namespace MF
