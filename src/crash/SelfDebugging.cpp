// SPDX-License-Identifier: GPL-2.0-or-later
#include "crash/SelfDebugging.h"

#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include "base/Check.h"
#include "base/FileDescriptor.h"
#include "base/StringFormat.h"
#include "crash/CrashWatcher.h"

extern char** environ;

namespace Application
{
namespace
{
// One byte each way: the server allows the watcher to trace it ("go"), the
// watcher says it traces every thread ("ready").
constexpr char GoByte = 'g';
constexpr char ReadyByte = 'r';

bool ReadByteWithin(int Socket, char Expected, int TimeoutMilliseconds)
{
    pollfd Poll{Socket, POLLIN, 0};
    int Result = 0;
    do
        Result = poll(&Poll, 1, TimeoutMilliseconds);
    while(Result < 0 && errno == EINTR);
    char Byte = 0;
    return Result > 0 && read(Socket, &Byte, 1) == 1 && Byte == Expected;
}

pid_t SpawnWatcher(std::vector<std::string> const& Arguments, int HandshakeSocket)
{
    posix_spawn_file_actions_t Actions;
    posix_spawn_file_actions_init(&Actions);
    // dup2 onto itself clears close-on-exec for the watcher's copy only.
    posix_spawn_file_actions_adddup2(&Actions, HandshakeSocket, HandshakeSocket);
    std::vector<char*> Pointers;
    for(auto const& Argument : Arguments)
        Pointers.push_back(const_cast<char*>(Argument.c_str()));
    Pointers.push_back(nullptr);
    pid_t Watcher = 0;
    int const Result = posix_spawn(&Watcher, Arguments[0].c_str(), &Actions, nullptr, Pointers.data(), environ);
    posix_spawn_file_actions_destroy(&Actions);
    CHECK_CONDITION(Result == 0, HResultFromErrno(Result));
    return Watcher;
}
} // namespace

bool SelfDebugging::IsDebuggerAttached()
{
    std::ifstream Stream("/proc/self/status");
    for(std::string Line; std::getline(Stream, Line);)
        if(Line.starts_with("TracerPid:"))
            return std::stol(Line.substr(10)) != 0;
    return false;
}

std::vector<std::string> SelfDebugging::MakeWatcherArguments(std::string const& Program, SelfDebuggingOptions const& Options, pid_t Parent,
                                                             int HandshakeSocket)
{
    std::vector<std::string> Arguments{Program};
    if(Options.DisableDebugOutput)
        Arguments.push_back("-DisableDebugOutput");
    Arguments.insert(Arguments.end(), {"-ParentProcessDebug", std::to_string(Parent), std::to_string(Options.MinidumpType), std::to_string(HandshakeSocket)});
    return Arguments;
}

bool SelfDebugging::Start(SelfDebuggingOptions const& Options)
{
    if(IsDebuggerAttached())
        return true;
    int Sockets[2];
    CHECK_ERRNO(socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, Sockets));
    FileDescriptor const Own(Sockets[0]);
    pid_t Watcher = 0;
    {
        FileDescriptor const Given(Sockets[1]);
        auto const Program = std::filesystem::read_symlink("/proc/self/exe").string();
        Watcher = SpawnWatcher(MakeWatcherArguments(Program, Options, getpid(), Given.Get()), Given.Get());
    }
    // Where Yama limits tracing to ancestors, the watcher (a child) needs
    // this permission; elsewhere the call fails harmlessly.
    prctl(PR_SET_PTRACER, static_cast<unsigned long>(Watcher), 0, 0, 0);
    if(write(Own.Get(), &GoByte, 1) == 1 && ReadByteWithin(Own.Get(), ReadyByte, AttachTimeoutMilliseconds))
        return true;
    // The watcher has said why on standard error; collect it if it ended.
    waitpid(Watcher, nullptr, WNOHANG);
    return false;
}

void SelfDebugging::RunWatcher(pid_t Parent, std::uint32_t MinidumpType, int HandshakeSocket)
{
    // The console's and the service manager's stop signals are meant for
    // the server; the watcher ends when the server has ended, so that a
    // crash while stopping is reported too.
    for(int Signal : {SIGINT, SIGQUIT, SIGHUP, SIGTERM, SIGPIPE})
        std::signal(Signal, SIG_IGN);
    FileDescriptor const Socket(HandshakeSocket);
    fcntl(Socket.Get(), F_SETFD, FD_CLOEXEC);
    CHECK_CONDITION(ReadByteWithin(Socket.Get(), GoByte, AttachTimeoutMilliseconds), HResultFromErrno(ETIMEDOUT));
    CrashWatcher Watcher(Parent, MinidumpType);
    Watcher.Attach();
    CHECK_CONDITION(write(Socket.Get(), &ReadyByte, 1) == 1, HResultFromErrno(EPIPE));
    Watcher.Run();
}
} // namespace Application
