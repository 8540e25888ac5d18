// SPDX-License-Identifier: GPL-2.0-or-later
#include "mf/MediaEventType.h"

#include <utility>

namespace MF
{
char const* MediaEventTypeName(std::uint32_t Type) noexcept
{
#define QUORVEL_EVENT_NAME(Name) {Name, #Name}
    static constexpr std::pair<std::uint32_t, char const*> Names[]{
        QUORVEL_EVENT_NAME(MEUnknown),
        QUORVEL_EVENT_NAME(MEError),
        QUORVEL_EVENT_NAME(MEExtendedType),
        QUORVEL_EVENT_NAME(MENonFatalError),
        QUORVEL_EVENT_NAME(MESessionUnknown),
        QUORVEL_EVENT_NAME(MESessionTopologySet),
        QUORVEL_EVENT_NAME(MESessionTopologiesCleared),
        QUORVEL_EVENT_NAME(MESessionStarted),
        QUORVEL_EVENT_NAME(MESessionPaused),
        QUORVEL_EVENT_NAME(MESessionStopped),
        QUORVEL_EVENT_NAME(MESessionClosed),
        QUORVEL_EVENT_NAME(MESessionEnded),
        QUORVEL_EVENT_NAME(MESessionRateChanged),
        QUORVEL_EVENT_NAME(MESessionScrubSampleComplete),
        QUORVEL_EVENT_NAME(MESessionCapabilitiesChanged),
        QUORVEL_EVENT_NAME(MESessionTopologyStatus),
        QUORVEL_EVENT_NAME(MESessionNotifyPresentationTime),
        QUORVEL_EVENT_NAME(MENewPresentation),
        QUORVEL_EVENT_NAME(MESourceUnknown),
        QUORVEL_EVENT_NAME(MESourceStarted),
        QUORVEL_EVENT_NAME(MEStreamStarted),
        QUORVEL_EVENT_NAME(MESourceSeeked),
        QUORVEL_EVENT_NAME(MEStreamSeeked),
        QUORVEL_EVENT_NAME(MENewStream),
        QUORVEL_EVENT_NAME(MEUpdatedStream),
        QUORVEL_EVENT_NAME(MESourceStopped),
        QUORVEL_EVENT_NAME(MEStreamStopped),
        QUORVEL_EVENT_NAME(MESourcePaused),
        QUORVEL_EVENT_NAME(MEStreamPaused),
        QUORVEL_EVENT_NAME(MEEndOfPresentation),
        QUORVEL_EVENT_NAME(MEEndOfStream),
        QUORVEL_EVENT_NAME(MEMediaSample),
        QUORVEL_EVENT_NAME(MEStreamTick),
        QUORVEL_EVENT_NAME(MEStreamThinMode),
        QUORVEL_EVENT_NAME(MEStreamFormatChanged),
        QUORVEL_EVENT_NAME(MESourceRateChanged),
        QUORVEL_EVENT_NAME(MEEndOfPresentationSegment),
        QUORVEL_EVENT_NAME(MESourceCharacteristicsChanged),
        QUORVEL_EVENT_NAME(MESourceRateChangeRequested),
        QUORVEL_EVENT_NAME(MESourceMetadataChanged),
        QUORVEL_EVENT_NAME(MESinkUnknown),
        QUORVEL_EVENT_NAME(MEStreamSinkStarted),
        QUORVEL_EVENT_NAME(MEStreamSinkStopped),
        QUORVEL_EVENT_NAME(MEStreamSinkPaused),
        QUORVEL_EVENT_NAME(MEStreamSinkRateChanged),
        QUORVEL_EVENT_NAME(MEStreamSinkRequestSample),
        QUORVEL_EVENT_NAME(MEStreamSinkMarker),
        QUORVEL_EVENT_NAME(MEStreamSinkPrerolled),
        QUORVEL_EVENT_NAME(MEStreamSinkScrubSampleComplete),
        QUORVEL_EVENT_NAME(MEStreamSinkFormatChanged),
        QUORVEL_EVENT_NAME(MEStreamSinkDeviceChanged),
        QUORVEL_EVENT_NAME(MEQualityNotify),
        QUORVEL_EVENT_NAME(MESinkInvalidated),
        QUORVEL_EVENT_NAME(METransformUnknown),
        QUORVEL_EVENT_NAME(METransformNeedInput),
        QUORVEL_EVENT_NAME(METransformHaveOutput),
        QUORVEL_EVENT_NAME(METransformDrainComplete),
        QUORVEL_EVENT_NAME(METransformMarker),
    };
#undef QUORVEL_EVENT_NAME
    for(auto const& [Value, Name] : Names)
        if(Value == Type)
            return Name;
    return "ME(unknown)";
}
} // namespace MF
