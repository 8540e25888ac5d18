// SPDX-License-Identifier: GPL-2.0-or-later
#include "mf/MediaEvent.h"

#include "base/StringFormat.h"

namespace MF
{
std::shared_ptr<MediaEvent> MediaEvent::Create(MediaEventType Type, Guid const& ExtendedType, HRESULT Status, PropVariant Value)
{
    return std::make_shared<MediaEvent>(Type, ExtendedType, Status, std::move(Value));
}

MediaEvent::MediaEvent(MediaEventType Type, Guid const& ExtendedType, HRESULT Status, PropVariant Value) :
    m_Type(Type), m_ExtendedType(ExtendedType), m_Status(Status), m_Value(std::move(Value))
{
}

std::string MediaEvent::Describe() const
{
    return StringFormat("%s, Status 0x%08X, Value %s", MediaEventTypeName(m_Type), static_cast<unsigned>(m_Status), m_Value.GetTypeName());
}
} // namespace MF
