// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "base/Status.h"
#include "mf/Attributes.h"
#include "mf/Guid.h"
#include "mf/MediaEventType.h"
#include "mf/PropVariant.h"

namespace MF
{
// An event of a media component: its type, an extended type (GUID_NULL
// mostly), a status (a failure for MEError and for failed operations), a
// value (the sample of MEMediaSample, the stream of MENewStream, the context
// of MEStreamSinkMarker ...) and attributes (MF_EVENT_TOPOLOGY_STATUS).
class MediaEvent : public Attributes
{
public:
    static std::shared_ptr<MediaEvent> Create(MediaEventType Type, Guid const& ExtendedType = {}, HRESULT Status = S_OK, PropVariant Value = {});

    MediaEvent(MediaEventType Type, Guid const& ExtendedType, HRESULT Status, PropVariant Value);

    MediaEventType GetType() const noexcept { return m_Type; }
    Guid const& GetExtendedType() const noexcept { return m_ExtendedType; }
    HRESULT GetStatus() const noexcept { return m_Status; }
    PropVariant const& GetValue() const noexcept { return m_Value; }

    // One line for traces: "MESessionTopologyStatus, Status 0x00000000, Value VT_EMPTY".
    std::string Describe() const;

private:
    MediaEventType m_Type;
    Guid m_ExtendedType;
    HRESULT m_Status;
    PropVariant m_Value;
};
} // namespace MF
