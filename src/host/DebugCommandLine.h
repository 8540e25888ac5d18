// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "crash/SelfDebugging.h"

namespace Application
{
// The minidump type of a "-Debug" value: empty or "Normal" 0, "Full" 6182,
// otherwise a decimal or "0x" hexadecimal number; anything else 0.
std::uint32_t ParseMinidumpType(std::string_view Value);

// Scans the arguments in order: "-DisableDebugOutput" sets its flag, the
// first "-Debug" ends the scan. Nothing without "-Debug".
std::optional<SelfDebuggingOptions> ParseDebugOptions(std::vector<std::string> const& Arguments);

// With "-Debug": starts the crash watcher (a second copy of the program)
// and, unless disabled, forwards every trace line to the console.
void StartSelfDebugging(std::vector<std::string> const& Arguments);

// In the watcher process ("-ParentProcessDebug <pid> <type> <socket>"):
// watches the server until it ends and returns true. False for any other
// command line.
bool RunDebugger(std::vector<std::string> const& Arguments);
} // namespace Application
