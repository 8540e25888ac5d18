// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "base/HResultError.h"
#include "mf/Object.h"

namespace MF
{
// A unit of work that an OperationQueue runs on a work queue.
class Operation : public virtual Object
{
public:
    virtual void Invoke() = 0;
    // Called with the error that Invoke raised.
    virtual void OnFailure(HResultError const& Error) = 0;
};
} // namespace MF
