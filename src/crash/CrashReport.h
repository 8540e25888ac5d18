// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include <signal.h>

#include "base/BuildInfo.h"
#include "crash/StackWalker.h"

namespace Application
{
// "<module file name>-<process id>-DebugException-<counter>-<code text>.dmp"
// in Directory; the code text of a signal is its name ("SIGSEGV").
std::filesystem::path MakeDumpPath(std::filesystem::path const& Directory, std::string const& ModuleFileName, pid_t Process, unsigned Counter,
                                   std::string const& CodeText);

// The short text a user reads first when the program died: what happened,
// where, which dump holds the rest, and which build it was.
struct CrashReport
{
    pid_t Process = 0;
    pid_t Thread = 0;
    std::string ThreadName;
    siginfo_t Signal{};
    std::filesystem::path DumpPath;
    std::uint64_t DumpBytes = 0;
    std::string DumpFailure; // why no dump was written, else empty
    std::uint32_t MinidumpType = 0;
    VersionInformation Build;
    std::vector<StackFrame> Stack;
    std::string StackFailure; // why the stack could not be unwound, else empty

    std::string Format() const;
};
} // namespace Application
