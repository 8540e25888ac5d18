// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <sys/types.h>

struct Dwfl;

namespace Application
{
// One frame of a stack, symbolized.
struct StackFrame
{
    std::uint64_t Address = 0;
    std::string Module;   // file name of the module, empty when none holds the address
    std::string Function; // demangled; empty when no symbol covers the address
    std::uint64_t Offset = 0; // from the start of Function
    std::string SourceFile; // with debugging information only
    int SourceLine = 0;

    // "#3  0x000055d0c1a2b3c4 in Application::Server::Run(...) + 0x1c4 (quorvel) at Server.cpp:52"
    std::string Format(std::size_t Index) const;
};

// Unwinds the threads of a process that this one traces and has stopped,
// from the unwind tables of its modules (elfutils libdwfl), and names each
// frame from the modules' symbol tables.
class StackWalker
{
public:
    static constexpr std::size_t MaximalFrames = 64;

    explicit StackWalker(pid_t Process);
    ~StackWalker();
    StackWalker(StackWalker const&) = delete;
    StackWalker& operator=(StackWalker const&) = delete;

    // The frames of Thread, innermost first; as many as could be unwound.
    std::vector<StackFrame> Walk(pid_t Thread);

private:
    StackFrame Describe(std::uint64_t Address, bool IsActivation) const;

    Dwfl* m_Dwfl = nullptr;
};
} // namespace Application
