// SPDX-License-Identifier: GPL-2.0-or-later
#include "crash/CrashWatcher.h"
#include "crash/DumpPlan.h"
#include "crash/MemoryRegion.h"
#include "crash/MinidumpType.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <thread>

using namespace Application;

namespace
{
MemoryRegion Region(char const* Line)
{
    auto Parsed = MemoryRegion::Parse(Line);
    EXPECT_TRUE(Parsed.has_value()) << Line;
    return Parsed.value_or(MemoryRegion{});
}

std::string ReadFile(std::filesystem::path const& Path)
{
    std::ifstream Stream(Path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(Stream), std::istreambuf_iterator<char>());
}

// The faults of the child processes below. Not inlined, so that the
// stacks name them.
// Read at run time, so that the compiler cannot turn the store into a trap.
int volatile* volatile NullPointer = nullptr;

[[gnu::noinline]] void DereferenceNull()
{
    *NullPointer = 1;
}

[[gnu::noinline]] void ThrowError()
{
    throw std::runtime_error("uncaught");
}

[[gnu::noinline]] void ThrowPastNoexcept() noexcept
{
    ThrowError();
}

// A child that waits until it is traced, then runs Body and exits with 0
// if Body returns.
template <typename BodyT>
pid_t StartChild(int& GoPipe, BodyT Body)
{
    int Pipe[2];
    EXPECT_EQ(pipe(Pipe), 0);
    pid_t const Child = fork();
    if(Child == 0)
    {
        close(Pipe[1]);
        char Byte;
        if(read(Pipe[0], &Byte, 1) == 1)
            Body();
        _exit(0);
    }
    close(Pipe[0]);
    GoPipe = Pipe[1];
    return Child;
}

struct WatchedRun
{
    int ExitStatus = 0;
    std::filesystem::path Directory;
    std::vector<std::filesystem::path> Files;
};

template <typename BodyT>
WatchedRun WatchChild(std::uint32_t MinidumpType, BodyT Body)
{
    WatchedRun Run;
    Run.Directory = std::filesystem::temp_directory_path() / ("quorvel-crash-" + std::to_string(getpid()));
    std::filesystem::remove_all(Run.Directory);
    std::filesystem::create_directories(Run.Directory);
    int Go = -1;
    pid_t const Child = StartChild(Go, Body);
    CrashWatcher Watcher(Child, MinidumpType, Run.Directory);
    Watcher.Attach();
    EXPECT_EQ(write(Go, "g", 1), 1);
    close(Go);
    Watcher.Run();
    Run.ExitStatus = Watcher.GetExitStatus();
    for(auto const& Entry : std::filesystem::directory_iterator(Run.Directory))
        Run.Files.push_back(Entry.path());
    std::sort(Run.Files.begin(), Run.Files.end());
    return Run;
}
} // namespace

TEST(MemoryRegion, ParsesMapsLines)
{
    auto const Code = Region("55d0c1a00000-55d0c1a2b000 r-xp 00001000 08:01 1234567                    /opt/my dir/quorvel (deleted)");
    EXPECT_EQ(Code.Start, 0x55d0c1a00000u);
    EXPECT_EQ(Code.End, 0x55d0c1a2b000u);
    EXPECT_TRUE(Code.Readable && Code.Executable && Code.Private && !Code.Writable);
    EXPECT_EQ(Code.Offset, 0x1000u);
    EXPECT_EQ(Code.Path, "/opt/my dir/quorvel (deleted)");
    EXPECT_TRUE(Code.IsFileBacked());
    auto const Anonymous = Region("7f0000000000-7f0000021000 rw-s 00000000 00:00 0 ");
    EXPECT_FALSE(Anonymous.IsFileBacked());
    EXPECT_FALSE(Anonymous.Private);
    EXPECT_TRUE(Anonymous.Path.empty());
    EXPECT_FALSE(MemoryRegion::Parse("not a mapping").has_value());
    EXPECT_FALSE(MemoryRegion::ReadMaps(getpid()).empty());
}

TEST(DumpPlan, NormalKeepsWhatADebuggerNeedsFullKeepsEverything)
{
    std::vector<MemoryRegion> const Regions = {
        Region("1000-5000 r--p 00000000 08:01 11 /usr/bin/quorvel"),       // headers and read-only data
        Region("5000-9000 r-xp 00004000 08:01 11 /usr/bin/quorvel"),       // code
        Region("9000-a000 rw-p 00008000 08:01 11 /usr/bin/quorvel"),       // data
        Region("a000-c000 rw-p 00000000 00:00 0 "),                        // .bss after it
        Region("c000-100000 rw-p 00000000 00:00 0 [heap]"),
        Region("200000-300000 rw-p 00000000 00:00 0 "),                    // a thread's stack
        Region("400000-402000 r--p 00000000 00:00 0 [vvar]"),
        Region("402000-404000 r-xp 00000000 00:00 0 [vdso]"),
        Region("500000-600000 ---p 00000000 00:00 0 "),                    // a guard area
    };
    std::vector<std::uint64_t> const StackPointers{0x2ff100};
    std::vector<AddressRange> const Referenced{{0xd010, 0xd038}};

    auto const Normal = DumpPlan(MinidumpType::Normal, 0x1000).Make(Regions, StackPointers, Referenced);
    std::vector<CoreSegment> const Expected = {
        {0x1000, 0x2000, true, false, false, true},   // the ELF header page only
        {0x2000, 0x5000, true, false, false, false},
        {0x5000, 0x9000, true, false, true, false},   // a later file mapping: no header page
        {0x9000, 0xa000, true, true, false, true},
        {0xa000, 0xc000, true, true, false, true},
        {0xc000, 0xd000, true, true, false, false},
        {0xd000, 0xe000, true, true, false, true},    // the page of the loader's list
        {0xe000, 0x100000, true, true, false, false},
        {0x200000, 0x2ff000, true, true, false, false},
        {0x2ff000, 0x300000, true, true, false, true}, // from below the stack pointer to the top
        {0x400000, 0x402000, true, false, false, false},
        {0x402000, 0x404000, true, false, true, true},
        {0x500000, 0x600000, false, false, false, false},
    };
    EXPECT_EQ(Normal, Expected);

    auto const Private = DumpPlan(MinidumpType::WithPrivateReadWriteMemory, 0x1000).Make(Regions, StackPointers, Referenced);
    auto const IsDumped = [](std::vector<CoreSegment> const& Segments, std::uint64_t Address) {
        for(auto const& Segment : Segments)
            if(Address >= Segment.Start && Address < Segment.End)
                return Segment.Dumped;
        return false;
    };
    EXPECT_TRUE(IsDumped(Private, 0xf000));   // heap
    EXPECT_TRUE(IsDumped(Private, 0x200000)); // whole stack
    EXPECT_FALSE(IsDumped(Private, 0x5000));  // code

    auto const Full = DumpPlan(MinidumpType::Full, 0x1000).Make(Regions, StackPointers, Referenced);
    EXPECT_EQ(Full.size(), Regions.size());
    for(auto const& Segment : Full)
        EXPECT_EQ(Segment.Dumped, Segment.Start != 0x400000 && Segment.Start != 0x500000) << std::hex << Segment.Start;
}

TEST(CrashWatcher, AFaultInAnotherThreadLeavesACoreAndAReportNamingTheFunction)
{
    auto const Run = WatchChild(MinidumpType::Normal, [] {
        std::thread Worker([] { DereferenceNull(); });
        Worker.join();
    });
    ASSERT_TRUE(WIFSIGNALED(Run.ExitStatus));
    EXPECT_EQ(WTERMSIG(Run.ExitStatus), SIGSEGV); // the signal took its course
    // The dump's name and whether gdb reads it are judged end to end (test_crash_reports.py).
    ASSERT_EQ(Run.Files.size(), 2u);
    auto const Report = ReadFile(Run.Files[1]);
    EXPECT_NE(Report.find("died of signal SIGSEGV (Segmentation fault), SEGV_MAPERR (address not mapped to object) at address 0x0000000000000000"),
              std::string::npos) << Report;
    EXPECT_NE(Report.find("Dump: " + Run.Files[0].string()), std::string::npos) << Report;
    EXPECT_NE(Report.find("in (anonymous namespace)::DereferenceNull()"), std::string::npos) << Report;
    std::filesystem::remove_all(Run.Directory);
}

TEST(CrashWatcher, AnUncaughtExceptionIsReportedAsAbort)
{
    auto const Run = WatchChild(MinidumpType::Normal, [] { ThrowPastNoexcept(); });
    ASSERT_TRUE(WIFSIGNALED(Run.ExitStatus));
    EXPECT_EQ(WTERMSIG(Run.ExitStatus), SIGABRT);
    ASSERT_EQ(Run.Files.size(), 2u);
    auto const Report = ReadFile(Run.Files[1]);
    EXPECT_NE(Report.find("died of signal SIGABRT (Aborted), raised by the process itself"), std::string::npos) << Report;
    EXPECT_NE(Report.find("in __cxa_throw"), std::string::npos) << Report;
    EXPECT_NE(Report.find("ThrowPastNoexcept"), std::string::npos) << Report;
    std::filesystem::remove_all(Run.Directory);
}

TEST(CrashWatcher, BreakpointsAndHandledSignalsLeaveNoDump)
{
#if !defined(__x86_64__)
    GTEST_SKIP() << "the breakpoint instruction is x86's";
#endif
    auto const Run = WatchChild(MinidumpType::Normal, [] {
#if defined(__x86_64__)
        __asm__ volatile("int3");
#endif
        std::signal(SIGSEGV, [](int) { _exit(3); });
        raise(SIGSEGV);
    });
    ASSERT_TRUE(WIFEXITED(Run.ExitStatus));
    EXPECT_EQ(WEXITSTATUS(Run.ExitStatus), 3); // stepped over the breakpoint, then its own handler ran
    EXPECT_TRUE(Run.Files.empty());
    std::filesystem::remove_all(Run.Directory);
}
