// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "mf/MediaType.h"
#include "mf/Object.h"
#include "mf/PresentationClock.h"

namespace MF
{
class IStreamSink;

// Characteristics of a media sink, with the platform's values.
inline constexpr std::uint32_t MEDIASINK_FIXED_STREAMS = 0x1;
inline constexpr std::uint32_t MEDIASINK_CANNOT_MATCH_CLOCK = 0x2;
inline constexpr std::uint32_t MEDIASINK_RATELESS = 0x4;
inline constexpr std::uint32_t MEDIASINK_CLOCK_REQUIRED = 0x8;

// A media sink: a set of stream sinks fed by the session. The session sets
// its presentation clock (the sink registers itself as a clock state sink
// and, on OnClockStart, has its stream sinks queue MEStreamSinkStarted and
// MEStreamSinkRequestSample), finalises it when closing (when it is an
// IFinalizableMediaSink) and shuts it down. Methods raise HResultError;
// MF_E_SHUTDOWN after Shutdown.
class IMediaSink : public virtual Object
{
public:
    virtual std::uint32_t GetCharacteristics() = 0;
    virtual std::shared_ptr<IStreamSink> AddStreamSink(std::uint32_t Identifier, std::shared_ptr<MediaType> const& Type) = 0;
    virtual void RemoveStreamSink(std::uint32_t Identifier) = 0;
    virtual std::size_t GetStreamSinkCount() = 0;
    // MF_E_INVALIDINDEX past the end.
    virtual std::shared_ptr<IStreamSink> GetStreamSinkByIndex(std::size_t Index) = 0;
    // MF_E_INVALIDSTREAMNUMBER for an unknown identifier.
    virtual std::shared_ptr<IStreamSink> GetStreamSinkById(std::uint32_t Identifier) = 0;
    virtual void SetPresentationClock(std::shared_ptr<PresentationClock> const& Clock) = 0;
    // MF_E_NO_CLOCK without one.
    virtual std::shared_ptr<PresentationClock> GetPresentationClock() = 0;
    virtual void Shutdown() = 0;
};
} // namespace MF
