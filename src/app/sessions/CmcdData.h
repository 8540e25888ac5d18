// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace Application
{
// The Common Media Client Data (CTA-5004) keys a request carried that the
// request log keeps: what a player says of its buffer, throughput and the
// object it asks for. Every key is optional; strings are bounded
// (CmcdReader::MaximalStringLength).
struct CmcdData
{
    std::optional<std::uint32_t> BufferLength;       // bl, milliseconds
    std::optional<std::uint32_t> MeasuredThroughput; // mtp, kbit/s
    std::optional<std::uint32_t> EncodedBitrate;     // br, kbit/s
    std::optional<std::uint32_t> ObjectDuration;     // d, milliseconds
    std::optional<std::uint32_t> TopBitrate;         // tb, kbit/s
    std::optional<float> PlaybackRate;               // pr
    std::optional<bool> BufferStarvation;            // bs
    std::optional<bool> Startup;                     // su
    std::string SessionId;                           // sid; empty: absent
    std::string ContentId;                           // cid; empty: absent
    std::string ObjectType;                          // ot: m, a, v, av, i, c, tt, k, o; empty: absent

    bool IsEmpty() const noexcept
    {
        return !BufferLength && !MeasuredThroughput && !EncodedBitrate && !ObjectDuration && !TopBitrate && !PlaybackRate && !BufferStarvation &&
               !Startup && SessionId.empty() && ContentId.empty() && ObjectType.empty();
    }
};
} // namespace Application
