// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <memory>
#include <string>
#include <vector>

#include <boost/asio/buffer.hpp>

#include "http/Delivery.h"

namespace HttpServer
{
// One send of a response: the head (empty for entity-body sends) and the
// body pieces, written to the socket as one gather write.
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

    std::string Head;
    // Keeps the pieces alive until the batch is written; pieces may be
    // shared with other batches (the same bytes sent to several clients).
    std::vector<std::shared_ptr<void const>> Owners;
    std::vector<boost::asio::const_buffer> Pieces;
    // The last send of the response: the connection may read the next request.
    bool Final = false;
    // The connection closes after this response (no keep-alive, or a body
    // that only the end of the connection delimits).
    bool CloseAfter = false;
    // Where the batch's bytes (head and pieces) are counted as queued.
    std::shared_ptr<Delivery> Account;
    std::size_t Size = 0;
};
} // namespace HttpServer
