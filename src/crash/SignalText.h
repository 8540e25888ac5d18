// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <string>

#include <signal.h>

namespace Application
{
// "SIGSEGV"; "SIG42" for a signal without a name.
std::string SignalName(int Signal);
// What raised a signal: "SEGV_MAPERR (address not mapped to object) at
// address 0x0000000000000010", "sent by process 42 with kill", ...
std::string DescribeSignalOrigin(siginfo_t const& Information, pid_t Receiver);
} // namespace Application
