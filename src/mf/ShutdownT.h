// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "mf/IShutdown.h"
#include "mf/ShutdownAwareT.h"

namespace MF
{
// ShutdownAwareT with IShutdown::GetShutdownStatus, for components whose
// shutdown takes a while (a transform that ends threads): the state's low
// 16 bits set to 0x0FFF mean that the shutdown has been initiated.
template <typename T>
class ShutdownT : public ShutdownAwareT<T>, public virtual IShutdown
{
public:
    static constexpr HRESULT ShutdownInitiatedState = 0x0FFF;

    ShutdownStatus GetShutdownStatus() override
    {
        auto const* ThisShutdownAware = static_cast<ShutdownAwareT<T> const*>(this);
        if(Failed(ThisShutdownAware->GetState()))
            return ShutdownStatus::Completed;
        if((ThisShutdownAware->GetState() & 0xFFFF) == ShutdownInitiatedState)
            return ShutdownStatus::Initiated;
        CHECK_CONDITION(ThisShutdownAware->GetState() == 0x0FFF, MF_E_INVALIDREQUEST);
        return ShutdownStatus::Initiated;
    }

protected:
    void MarkShutdownInitiated() noexcept { this->SetState((this->GetState() & ~0xFFFF) | ShutdownInitiatedState); }
};
} // namespace MF
