// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "mf/Object.h"

namespace MF
{
enum class ShutdownStatus
{
    Initiated = 0, // MFSHUTDOWN_INITIATED
    Completed = 1, // MFSHUTDOWN_COMPLETED
};

// Shutdown of a component that is not a source or a sink (the transforms
// that hold threads or devices). The session shuts down the transforms of
// its topology that implement it.
class IShutdown : public virtual Object
{
public:
    virtual void Shutdown() = 0;
    // MF_E_INVALIDREQUEST before any shutdown.
    virtual ShutdownStatus GetShutdownStatus() = 0;
};
} // namespace MF
