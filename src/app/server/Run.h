// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <functional>

#include "app/server/ManualResetEvent.h"
#include "app/context/Settings.h"

namespace Application
{
// The server: prepares the process, prints the start-up lines, serves
// requests on the calling thread until Termination is set, and returns once
// everything is released. Failures outside request handling (a location that
// cannot be bound, a folder that cannot be made) are raised to the caller.
// Serving, when given, is called once every location is bound.
void Run(Settings const& Settings, ManualResetEvent& Termination, std::function<void()> const& Serving = {});
} // namespace Application
