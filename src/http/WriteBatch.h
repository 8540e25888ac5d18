// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "http/BodyPiece.h"
#include "http/Delivery.h"
#include "http/ResponseHead.h"

namespace HttpServer
{
// One send of an answer as values: the head (with the first send only) and
// body pieces that name shared bytes. Edges between a response and its
// connection read and change it as such; the connection alone turns it into
// the bytes on the wire (Framing), written as one gather write.
struct WriteBatch
{
    WriteBatch() = default;
    WriteBatch(WriteBatch const&) = delete;
    WriteBatch& operator=(WriteBatch const&) = delete;
    // Written or dropped, the bytes no longer count as queued.
    ~WriteBatch()
    {
        if(Account)
            Account->RemoveQueued(Size);
    }

    std::optional<ResponseHead> Head;
    std::vector<BodyPiece> Pieces;
    // The last send of the answer: the connection may read the next request.
    bool Final = false;
    // Where the batch's bytes are counted as queued, and how many.
    std::shared_ptr<Delivery> Account;
    std::size_t Size = 0;

    // Set by the connection: the head's text and a chunk's size line before
    // the pieces, the chunk's end (and the last chunk) after them.
    std::string Framing;
    std::string_view Trailer;

    std::size_t BodySize() const noexcept
    {
        std::size_t Total = 0;
        for(auto const& Piece : Pieces)
            Total += Piece.Size;
        return Total;
    }
};
} // namespace HttpServer
