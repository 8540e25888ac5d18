// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <memory>

#include "mf/Attributes.h"
#include "mf/Guid.h"
#include "mf/IMediaEventGenerator.h"
#include "mf/PresentationDescriptor.h"
#include "mf/PropVariant.h"

namespace MF
{
// Characteristics of a media source, with the platform's values.
inline constexpr std::uint32_t MFMEDIASOURCE_IS_LIVE = 0x1;
inline constexpr std::uint32_t MFMEDIASOURCE_CAN_SEEK = 0x2;
inline constexpr std::uint32_t MFMEDIASOURCE_CAN_PAUSE = 0x4;
inline constexpr std::uint32_t MFMEDIASOURCE_HAS_SLOW_SEEK = 0x8;
inline constexpr std::uint32_t MFMEDIASOURCE_DOES_NOT_USE_NETWORK = 0x80;

// A media source. The session drives it like this:
//   1. CreatePresentationDescriptor, and Start(Descriptor, GUID_NULL,
//      PropVariant(std::int64_t{Position})) (an empty position continues);
//   2. the source queues MENewStream (value: the IMediaStream) or
//      MEUpdatedStream for each selected stream, then MESourceStarted; each
//      stream queues MEStreamStarted;
//   3. each IMediaStream::RequestSample is answered by one MEMediaSample
//      (value: the Sample) on the stream, in request order; at its end the
//      stream queues MEEndOfStream and the source MEEndOfPresentation;
//   4. Stop queues MEStreamStopped and MESourceStopped; Shutdown ends it.
// A failure on the source's own threads is reported as MEError with the
// status. Methods raise HResultError; MF_E_SHUTDOWN after Shutdown.
class IMediaSource : public virtual IMediaEventGenerator
{
public:
    virtual std::uint32_t GetCharacteristics() = 0;
    virtual std::shared_ptr<PresentationDescriptor> CreatePresentationDescriptor() = 0;
    virtual void Start(std::shared_ptr<PresentationDescriptor> const& Descriptor, Guid const& TimeFormat, PropVariant const& StartPosition) = 0;
    virtual void Stop() = 0;
    virtual void Shutdown() = 0;
};
} // namespace MF
