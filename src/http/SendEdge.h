// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <memory>

namespace HttpServer
{
class Connection;
struct WriteBatch;

// What stands between one answer's sends and its connection's socket, when
// that answer is to go out otherwise than as made: later, slower, shorter
// or changed. The connection hands it every batch of the answer, on the
// I/O thread and in order, as values (a typed head, pieces of shared
// bytes); it changes them as such and passes batches on with
// Connection::Forward, at once or from timers on the connection's executor,
// never by waiting. The connection alone frames what it is given. It drops
// the edge when the answer ends or the connection closes.
class SendEdge
{
public:
    virtual ~SendEdge() = default;
    // One send of the answer, the head first.
    virtual void Write(std::shared_ptr<WriteBatch> Batch, Connection& Target) = 0;
    // The server stops: what is held back goes out now, or the answer ends.
    virtual void Stop(Connection& Target) = 0;
    // The connection closes: nothing more goes out, timers end.
    virtual void Close() noexcept = 0;
};
} // namespace HttpServer
