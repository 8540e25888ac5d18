// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <memory>

#include "mf/IMediaEventGenerator.h"
#include "mf/IMediaTypeHandler.h"
#include "mf/PropVariant.h"
#include "mf/Sample.h"

namespace MF
{
class IMediaSink;

// Marker types of IStreamSink::PlaceMarker, with the platform's values.
enum MFSTREAMSINK_MARKER_TYPE : std::uint32_t
{
    MFSTREAMSINK_MARKER_DEFAULT = 0,
    MFSTREAMSINK_MARKER_ENDOFSEGMENT = 1,
    MFSTREAMSINK_MARKER_TICK = 2,
    MFSTREAMSINK_MARKER_EVENT = 3,
};

// "MFSTREAMSINK_MARKER_ENDOFSEGMENT" for 1.
char const* MarkerTypeName(std::uint32_t Type) noexcept;

// One stream of a media sink. It pulls: each MEStreamSinkRequestSample it
// queues asks the session for one sample, which arrives by ProcessSample.
// A marker is answered by MEStreamSinkMarker carrying the context value
// once every sample before it is processed; the session places
// MFSTREAMSINK_MARKER_ENDOFSEGMENT after the last sample of a stream.
class IStreamSink : public virtual IMediaEventGenerator
{
public:
    virtual std::shared_ptr<IMediaSink> GetMediaSink() = 0;
    virtual std::uint32_t GetIdentifier() = 0;
    virtual std::shared_ptr<IMediaTypeHandler> GetMediaTypeHandler() = 0;
    virtual void ProcessSample(std::shared_ptr<Sample> const& Sample) = 0;
    virtual void PlaceMarker(MFSTREAMSINK_MARKER_TYPE Type, PropVariant const& MarkerValue, PropVariant const& ContextValue) = 0;
};
} // namespace MF
