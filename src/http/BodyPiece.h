// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "base/Check.h"
#include "base/SharedBytes.h"

namespace HttpServer
{
// A run of bytes of an answer's body, kept alive by its owner: a whole
// movie fragment, part of one (a range, a throttled slice), or a text. A
// piece names bytes, it never holds a copy: cutting it is free.
struct BodyPiece
{
    std::shared_ptr<void const> Owner;
    std::uint8_t const* Data = nullptr;
    std::size_t Size = 0;

    static BodyPiece Of(SharedBytes Bytes)
    {
        auto const* const Start = Bytes->data();
        std::size_t const Count = Bytes->size();
        return {std::move(Bytes), Start, Count};
    }
    // Count bytes from Offset, within this piece.
    BodyPiece Sub(std::size_t Offset, std::size_t Count) const
    {
        ASSERT(Offset <= Size && Count <= Size - Offset);
        return {Owner, Data + Offset, Count};
    }
};
} // namespace HttpServer
