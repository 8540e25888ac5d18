#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <unordered_set>

#include "http/Limits.h"

namespace HttpServer
{
class Connection;
class Request;
class Response;

using RequestHandler = std::function<void(std::shared_ptr<Request> const& Request, std::shared_ptr<Response> const& Response)>;

// What the listeners and their connections share; touched on the I/O thread
// only, except Stopping, which responses read on their senders' threads. Connections leave the set when they are destroyed, so the set can
// outlive or be outlived by the listeners.
struct ConnectionSet
{
    Limits Bounds;
    RequestHandler Handler;
    std::unordered_set<Connection*> Members;
    // Set when the server stops: connections close after their current answer.
    std::atomic<bool> Stopping{false};
};
} // namespace HttpServer
