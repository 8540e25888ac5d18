// SPDX-License-Identifier: GPL-2.0-or-later
#include "crash/StackWalker.h"

#include <cstdlib>
#include <filesystem>
#include <memory>

#include <cxxabi.h>
#include <elfutils/libdwfl.h>

#include "base/Check.h"
#include "base/StringFormat.h"

namespace Application
{
namespace
{
std::string Demangle(char const* Name)
{
    int Status = 0;
    std::unique_ptr<char, decltype(&std::free)> const Demangled(abi::__cxa_demangle(Name, nullptr, nullptr, &Status), &std::free);
    return Status == 0 && Demangled ? std::string(Demangled.get()) : std::string(Name);
}

char* NoDebugInfoPath = nullptr;
Dwfl_Callbacks const Callbacks = {
    dwfl_linux_proc_find_elf,
    dwfl_standard_find_debuginfo,
    nullptr,
    &NoDebugInfoPath,
};

struct WalkState
{
    StackWalker const* Walker;
    std::vector<StackFrame>* Frames;
};
} // namespace

std::string StackFrame::Format(std::size_t Index) const
{
    std::string Text = StringFormat("#%-2zu 0x%016llx in ", Index, static_cast<unsigned long long>(Address));
    Text += Function.empty() ? "??" : Function;
    if(!Function.empty() && Offset != 0)
        Text += StringFormat(" + 0x%llx", static_cast<unsigned long long>(Offset));
    if(!Module.empty())
        Text += " (" + Module + ")";
    if(!SourceFile.empty())
        Text += StringFormat(" at %s:%d", SourceFile.c_str(), SourceLine);
    return Text;
}

StackWalker::StackWalker(pid_t Process)
{
    // A crash report must not wait for a debuginfo server on the network.
    unsetenv("DEBUGINFOD_URLS");
    m_Dwfl = dwfl_begin(&Callbacks);
    CHECK_CONDITION(m_Dwfl != nullptr, E_OUTOFMEMORY);
    dwfl_report_begin(m_Dwfl);
    int const Reported = dwfl_linux_proc_report(m_Dwfl, Process);
    dwfl_report_end(m_Dwfl, nullptr, nullptr);
    CHECK_CONDITION(Reported == 0, HResultFromErrno(Reported > 0 ? Reported : ESRCH));
    // The threads are stopped by their tracer, this process.
    int const Attached = dwfl_linux_proc_attach(m_Dwfl, Process, true);
    if(Attached != 0)
        throw HResultError(E_FAIL, StringFormat("Cannot unwind process %d: %s", static_cast<int>(Process), dwfl_errmsg(-1)));
}

StackWalker::~StackWalker()
{
    dwfl_end(m_Dwfl);
}

StackFrame StackWalker::Describe(std::uint64_t Address, bool IsActivation) const
{
    StackFrame Frame;
    Frame.Address = Address;
    // A return address points after the call: look up the call itself.
    Dwarf_Addr const Lookup = IsActivation || Address == 0 ? Address : Address - 1;
    Dwfl_Module* const Module = dwfl_addrmodule(m_Dwfl, Lookup);
    if(Module == nullptr)
        return Frame;
    if(char const* Name = dwfl_module_info(Module, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr))
        Frame.Module = std::filesystem::path(Name).filename().string();
    GElf_Off Offset = 0;
    GElf_Sym Symbol;
    if(char const* Name = dwfl_module_addrinfo(Module, Lookup, &Offset, &Symbol, nullptr, nullptr, nullptr))
    {
        Frame.Function = Demangle(Name);
        Frame.Offset = Offset + (Lookup != Address ? 1 : 0);
    }
    if(Dwfl_Line* const Line = dwfl_module_getsrc(Module, Lookup))
    {
        int LineNumber = 0;
        if(char const* File = dwfl_lineinfo(Line, nullptr, &LineNumber, nullptr, nullptr, nullptr))
        {
            Frame.SourceFile = std::filesystem::path(File).filename().string();
            Frame.SourceLine = LineNumber;
        }
    }
    return Frame;
}

std::vector<StackFrame> StackWalker::Walk(pid_t Thread)
{
    std::vector<StackFrame> Frames;
    WalkState State{this, &Frames};
    // The end of the unwind tables ends the walk with an error on some
    // systems: what was unwound until then is the stack.
    dwfl_getthread_frames(
        m_Dwfl, Thread,
        [](Dwfl_Frame* Frame, void* Argument) -> int {
            auto& State = *static_cast<WalkState*>(Argument);
            Dwarf_Addr Address = 0;
            bool IsActivation = false;
            if(!dwfl_frame_pc(Frame, &Address, &IsActivation))
                return DWARF_CB_ABORT;
            State.Frames->push_back(State.Walker->Describe(Address, IsActivation));
            return State.Frames->size() < MaximalFrames ? DWARF_CB_OK : DWARF_CB_ABORT;
        },
        &State);
    return Frames;
}
} // namespace Application
