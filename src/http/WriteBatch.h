#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <boost/asio/buffer.hpp>

namespace HttpServer
{
// One send of a response: the head (empty for entity-body sends) and the
// body pieces, written to the socket as one gather write.
struct WriteBatch
{
    std::string Head;
    // Keeps the pieces that the batch owns alive until it is written.
    std::vector<std::shared_ptr<void const>> Owners;
    std::vector<boost::asio::const_buffer> Pieces;
    // The last send of the response: the connection may read the next request.
    bool Final = false;
    // The connection closes after this response (no keep-alive, or a body
    // that only the end of the connection delimits).
    bool CloseAfter = false;
    // Called on the I/O thread with whether every byte was written.
    std::function<void(bool Written)> Completion;
};
} // namespace HttpServer
