// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <sys/types.h>

namespace Application
{
// What "-Debug" asks for.
struct SelfDebuggingOptions
{
    bool DisableDebugOutput = false;
    std::uint32_t MinidumpType = 0;
};

// Self-debugging: the server starts a second copy of the program, which
// traces the first and writes a dump and a crash report when a fatal signal
// is about to end it (CrashWatcher).
class SelfDebugging
{
public:
    // How long the server waits for the watcher to attach.
    static constexpr int AttachTimeoutMilliseconds = 5000;

    // Whether a debugger (a watcher, gdb, ...) traces this process now.
    static bool IsDebuggerAttached();

    // In the server: starts the watcher and waits until it traces this
    // process; true. Does nothing when a debugger is attached already
    // (true as well). When the watcher cannot be started or cannot attach
    // (it says why on standard error): false, and the server runs on
    // without it.
    static bool Start(SelfDebuggingOptions const& Options);

    // The watcher's command line: the program, "-DisableDebugOutput" when
    // asked, "-ParentProcessDebug" and the three numbers.
    static std::vector<std::string> MakeWatcherArguments(std::string const& Program, SelfDebuggingOptions const& Options, pid_t Parent,
                                                         int HandshakeSocket);

    // In the watcher: attaches to Parent, confirms it on the handshake
    // socket, and watches until Parent has ended. Raises when it cannot
    // attach.
    static void RunWatcher(pid_t Parent, std::uint32_t MinidumpType, int HandshakeSocket);
};
} // namespace Application
