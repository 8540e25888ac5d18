// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstddef>
#include <memory>

#include "mf/Guid.h"
#include "mf/MediaType.h"
#include "mf/Object.h"

namespace MF
{
// The media types a stream accepts or offers. MediaTypeHandler implements
// it for a single type.
class IMediaTypeHandler : public virtual Object
{
public:
    // True when supported. Otherwise, when ClosestMatch is given, the
    // handler's preferred type is returned there. E_INVALIDARG without a type.
    virtual bool IsMediaTypeSupported(std::shared_ptr<MediaType const> const& Type, std::shared_ptr<MediaType>* ClosestMatch) = 0;
    virtual std::size_t GetMediaTypeCount() = 0;
    // E_INVALIDARG past the end.
    virtual std::shared_ptr<MediaType> GetMediaTypeByIndex(std::size_t Index) = 0;
    // MF_E_INVALIDREQUEST for an unsupported type.
    virtual void SetCurrentMediaType(std::shared_ptr<MediaType> const& Type) = 0;
    virtual std::shared_ptr<MediaType> GetCurrentMediaType() = 0;
    virtual Guid GetMajorType() = 0;
};
} // namespace MF
