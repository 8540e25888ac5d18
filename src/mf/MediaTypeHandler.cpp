// SPDX-License-Identifier: GPL-2.0-or-later
#include "mf/MediaTypeHandler.h"

#include <mutex>

#include "base/Check.h"
#include "mf/MediaStatus.h"

namespace MF
{
MediaTypeHandler::MediaTypeHandler(std::shared_ptr<MediaType> Type, Checker CustomChecker) :
    m_MediaType(std::move(Type)), m_Checker(std::move(CustomChecker))
{
    CHECK_ARGUMENT(m_MediaType);
    m_MajorType = m_MediaType->GetMajorType();
}

bool MediaTypeHandler::IsMediaTypeSupported(std::shared_ptr<MediaType const> const& Type, std::shared_ptr<MediaType>* ClosestMatch)
{
    TRACE("this %p, MediaType %p, MatchMediaType %p\n", static_cast<void*>(this), static_cast<void const*>(Type.get()), static_cast<void*>(ClosestMatch));
    CHECK_ARGUMENT(Type);
    std::shared_lock Lock(m_Mutex);
    return InternalCheckMediaType(*Type, ClosestMatch);
}

bool MediaTypeHandler::InternalCheckMediaType(MediaType const& Type, std::shared_ptr<MediaType>* ClosestMatch)
{
    bool Supported;
    if(m_Checker)
        Supported = m_Checker(Type);
    else
    {
        auto const Flags = m_MediaType->IsEqual(Type);
        TRACE("IsEqualResult 0x%08X, Flags %s\n", Flags == MF_MEDIATYPE_EQUAL_ALL ? 0u : 1u, MediaTypeEqualFlagsText(Flags).c_str());
        Supported = Flags == MF_MEDIATYPE_EQUAL_ALL;
    }
    if(!Supported && ClosestMatch)
        *ClosestMatch = m_MediaType->Clone();
    return Supported;
}

std::shared_ptr<MediaType> MediaTypeHandler::GetMediaTypeByIndex(std::size_t Index)
{
    TRACE("this %p, Index %zu\n", static_cast<void*>(this), Index);
    CHECK_ARGUMENT(Index == 0);
    std::shared_lock Lock(m_Mutex);
    return m_MediaType;
}

void MediaTypeHandler::SetCurrentMediaType(std::shared_ptr<MediaType> const& Type)
{
    CHECK_ARGUMENT(Type);
    std::unique_lock Lock(m_Mutex);
    CHECK_CONDITION(InternalCheckMediaType(*Type, nullptr), MF_E_INVALIDREQUEST);
    m_MediaType = Type;
}

std::shared_ptr<MediaType> MediaTypeHandler::GetCurrentMediaType()
{
    std::shared_lock Lock(m_Mutex);
    return m_MediaType;
}

Guid MediaTypeHandler::GetMajorType()
{
    std::shared_lock Lock(m_Mutex);
    return m_MajorType;
}
} // namespace MF
