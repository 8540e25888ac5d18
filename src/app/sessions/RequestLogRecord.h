// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <array>
#include <cstdint>
#include <limits>

#include "app/sessions/RequestRecord.h"

namespace Application
{
// One request as its asset's ring keeps it: fixed size, no pointers, so
// that a ring is one array and appending copies a record into place.
// Strings are numbers in the asset's table of strings (RequestLog).
struct RequestLogRecord
{
    static constexpr std::uint32_t NoNumber = std::numeric_limits<std::uint32_t>::max();
    static constexpr std::uint16_t NoString = std::numeric_limits<std::uint16_t>::max();
    // Times from arrival are kept in microseconds up to this (71 minutes).
    static constexpr std::uint32_t NoTime = std::numeric_limits<std::uint32_t>::max();

    // Which CMCD keys are present (Present).
    enum CmcdKey : std::uint16_t
    {
        BufferLengthKey = 1 << 0,
        MeasuredThroughputKey = 1 << 1,
        EncodedBitrateKey = 1 << 2,
        ObjectDurationKey = 1 << 3,
        TopBitrateKey = 1 << 4,
        PlaybackRateKey = 1 << 5,
        BufferStarvationKey = 1 << 6,
        StartupKey = 1 << 7,
    };

    std::uint64_t Sequence = 0;
    std::int64_t ArrivalTime = 0; // microseconds since 1970
    std::uint64_t BodyBytes = 0;
    std::uint32_t FirstByte = NoTime; // microseconds after arrival
    std::uint32_t LastByte = NoTime;
    std::uint32_t Variant = NoNumber;
    std::uint32_t Segment = NoNumber;
    std::uint32_t Part = NoNumber;
    std::uint32_t BufferLength = 0;
    std::uint32_t MeasuredThroughput = 0;
    std::uint32_t EncodedBitrate = 0;
    std::uint32_t ObjectDuration = 0;
    std::uint32_t TopBitrate = 0;
    float PlaybackRate = 0;
    std::uint16_t Status = 0;
    std::uint16_t Route = NoString;
    std::uint16_t Fault = NoString;
    std::uint16_t Pathway = NoString;
    std::uint16_t SessionId = NoString;
    std::uint16_t ContentId = NoString;
    std::uint16_t Present = 0;
    std::array<char, 2> ObjectType{}; // unused characters are 0
    RequestTrack Track = RequestTrack::Other;
    CacheOutcome Cache = CacheOutcome::None;
    bool BufferStarvation = false;
    bool Startup = false;
    bool Completed = false;

    bool Has(CmcdKey Key) const noexcept { return (Present & Key) != 0; }
    bool HasCmcd() const noexcept { return Present != 0 || SessionId != NoString || ContentId != NoString || ObjectType[0] != 0; }
};

// A million of them must stay within reason (RequestLog::MaximalRecords).
static_assert(sizeof(RequestLogRecord) <= 96);
} // namespace Application
