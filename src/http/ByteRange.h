// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <string_view>

namespace HttpServer
{
// What a "Range" request header field asks of a body of known length
// (RFC 9110 section 14). One range of bytes is served; a field the server
// does not take (another unit, malformed, several ranges) is ignored and the
// whole body is sent, as the standard allows.
struct ByteRange
{
    enum class Outcome
    {
        Whole,         // no usable range: 200 with the whole body
        Partial,       // 206 with bytes First..Last (inclusive)
        Unsatisfiable, // 416: the range starts beyond the body
    };

    Outcome Result = Outcome::Whole;
    std::uint64_t First = 0;
    std::uint64_t Last = 0;

    std::uint64_t Size() const noexcept { return Last - First + 1; }

    // Field is the header's value (empty when absent); Length the body's size.
    static ByteRange Evaluate(std::string_view Field, std::uint64_t Length);
};
} // namespace HttpServer
