// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "mf/AttributeKey.h"
#include "mf/Object.h"
#include "mf/PropVariant.h"

namespace MF
{
// Encoder settings by key (CODECAPI_AVEncCommonRateControlMode,
// CODECAPI_AVEncCommonQuality, CODECAPI_AVEncMPVGOPSize,
// CODECAPI_AVEncMPVDefaultBPictureCount, CODECAPI_AVEncNumWorkerThreads of
// AttributeKeys.h). An encoder
// transform that has settings implements it besides ITransform; callers
// find it with std::dynamic_pointer_cast. Set them before the types.
class ICodecApi : public virtual Object
{
public:
    // E_NOTIMPL for an unsupported key, E_INVALIDARG for a value out of range.
    virtual void SetValue(AttributeKey const& Key, PropVariant const& Value) = 0;
    virtual PropVariant GetValue(AttributeKey const& Key) = 0;
};
} // namespace MF
