// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "app/server/ManualResetEvent.h"

namespace Application
{
// Console control types, as the signals stand in for them: SIGINT is
// CTRL_C_EVENT, SIGQUIT CTRL_BREAK_EVENT, SIGHUP CTRL_CLOSE_EVENT and
// SIGTERM CTRL_SHUTDOWN_EVENT.
enum ControlType : unsigned
{
    CtrlCEvent = 0,
    CtrlBreakEvent = 1,
    CtrlCloseEvent = 2,
    CtrlLogoffEvent = 5,
    CtrlShutdownEvent = 6,
};

// "CTRL_C_EVENT" and so on, "0x%X" for other values.
std::string ControlTypeName(unsigned Type);

// Prints "Console Control Handler: <name>", traces it, and for the five
// named types sets Termination and returns true; false for any other.
bool HandlerRoutine(unsigned Type, ManualResetEvent& Termination);

// Blocks SIGINT, SIGQUIT, SIGHUP and SIGTERM in the calling thread and in
// every thread it starts later, and ignores SIGPIPE. Call first in main.
void BlockControlSignals();
// Starts the thread that waits for those signals and passes them to
// HandlerRoutine; it lives until the process ends.
void StartConsoleControlHandler(ManualResetEvent& Termination);
} // namespace Application
