// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>

namespace HttpServer
{
// How one answer went out, as its connection saw it: told once, on the I/O
// thread, when the answer's last batch has been written or the answer ended
// otherwise (aborted, dropped, the client left).
struct AnswerOutcome
{
    using Clock = std::chrono::steady_clock;

    // The status of the head that went out; 0 when no head was written.
    unsigned Status = 0;
    // Body bytes written to the socket (framing and head not counted).
    std::uint64_t BodyBytes = 0;
    // When the first and the last write of the answer completed; empty when
    // nothing was written.
    std::optional<Clock::time_point> FirstByteTime;
    std::optional<Clock::time_point> LastByteTime;
    // The last batch was written: the client has the whole answer.
    bool Completed = false;
};
} // namespace HttpServer
