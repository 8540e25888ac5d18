// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <span>

#include "base/Status.h"

// One row of the table that gives POSIX error numbers the platform statuses
// of the same meaning, so that a status reads the same whichever system
// raised it: 0x80070005 is "access denied" here too, never errno 5.
struct ErrnoStatus
{
    int Errno;
    HRESULT Status;
};

// Every error number with a platform equivalent, each once.
std::span<ErrnoStatus const> ErrnoStatusTable() noexcept;
