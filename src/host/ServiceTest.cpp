// SPDX-License-Identifier: GPL-2.0-or-later
#include "host/DebugCommandLine.h"
#include "host/ServiceStatusNotifier.h"
#include "host/SystemdUnit.h"

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <filesystem>

using namespace Application;

namespace
{
std::filesystem::path MakeTemporaryDirectory(char const* Name)
{
    auto const Directory = std::filesystem::temp_directory_path() / (std::string(Name) + "-" + std::to_string(getpid()));
    std::filesystem::remove_all(Directory);
    std::filesystem::create_directories(Directory);
    return Directory;
}
} // namespace

TEST(SystemdUnit, CommandLineKeepsPlainArgumentsAndEscapesWhatSystemdWouldRead)
{
    EXPECT_EQ(SystemdUnit::MakeCommandLine("/opt/q/quorvel", {"quorvel", "-Service:Install", "-Location", "http://+:8080/hls/"}, false),
              "\"/opt/q/quorvel\" -Service:Main -Location http://+:8080/hls/");
    EXPECT_EQ(SystemdUnit::MakeCommandLine("/opt/q/quorvel", {"quorvel", "-service:install", "-sw"}, true),
              "\"/opt/q/quorvel\" -Service:Main -Debug:Full -sw");
    // "%" and "$" would be specifiers and variables; blanks, quotes and line
    // ends would split arguments or the unit file.
    EXPECT_EQ(SystemdUnit::MakeCommandLine("/my dir/100%/q", {"q", "-l", "http://+:80/a%20b/$x", "two words", "", "a\"b\\c\nExecStartPre=x"}, false),
              "\"/my dir/100%%/q\" -Service:Main -l http://+:80/a%%20b/$$x \"two words\" \"\" \"a\\\"b\\\\c\\x0aExecStartPre=x\"");
}

TEST(DebugCommandLine, MinidumpTypesAndTheScanOrder)
{
    EXPECT_EQ(ParseMinidumpType(""), 0u);
    EXPECT_EQ(ParseMinidumpType("normal"), 0u);
    EXPECT_EQ(ParseMinidumpType("FULL"), 6182u);
    EXPECT_EQ(ParseMinidumpType("0x2"), 2u);
    EXPECT_EQ(ParseMinidumpType("512"), 512u);
    EXPECT_EQ(ParseMinidumpType("2x"), 0u);
    EXPECT_FALSE(ParseDebugOptions({"q", "-Location", "x"}).has_value());
    auto const Before = ParseDebugOptions({"q", "-disabledebugoutput", "-debug:full"});
    ASSERT_TRUE(Before.has_value());
    EXPECT_TRUE(Before->DisableDebugOutput);
    EXPECT_EQ(Before->MinidumpType, 6182u);
    // Only a -DisableDebugOutput before -Debug counts.
    auto const After = ParseDebugOptions({"q", "-Debug", "-DisableDebugOutput"});
    ASSERT_TRUE(After.has_value());
    EXPECT_FALSE(After->DisableDebugOutput);
    EXPECT_EQ(After->MinidumpType, 0u);
}

TEST(ServiceStatusNotifier, StatesGoForwardOnlyAndNeedTheManagersSocket)
{
    auto const Directory = MakeTemporaryDirectory("quorvel-notify");
    auto const Path = (Directory / "notify").string();
    int const Socket = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    ASSERT_GE(Socket, 0);
    sockaddr_un Address{};
    Address.sun_family = AF_UNIX;
    std::snprintf(Address.sun_path, sizeof Address.sun_path, "%s", Path.c_str());
    ASSERT_EQ(bind(Socket, reinterpret_cast<sockaddr const*>(&Address), sizeof Address), 0);
    setenv("NOTIFY_SOCKET", Path.c_str(), 1);
    {
        ServiceStatusNotifier Notifier;
        Notifier.Report(ServiceState::StartPending);
        Notifier.Report(ServiceState::StopPending);
        Notifier.Report(ServiceState::Running); // too late: a stop has begun
        Notifier.Report(ServiceState::Stopped);
    }
    unsetenv("NOTIFY_SOCKET");
    std::vector<std::string> Messages;
    char Buffer[256];
    for(ssize_t Count; (Count = recv(Socket, Buffer, sizeof Buffer, MSG_DONTWAIT)) > 0;)
        Messages.emplace_back(Buffer, static_cast<std::size_t>(Count));
    EXPECT_EQ(Messages, (std::vector<std::string>{"STATUS=Start pending", "STOPPING=1\nSTATUS=Stop pending", "STATUS=Stopped"}));
    close(Socket);
    std::filesystem::remove_all(Directory);
}
