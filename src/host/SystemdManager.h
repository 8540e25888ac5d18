// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <string>
#include <vector>

namespace Application
{
// The running service manager, through systemctl.
class SystemdManager
{
public:
    // Whether systemd is this machine's service manager now (not in most
    // containers, nor while the machine boots from another init).
    static bool IsRunning();
    // Runs "systemctl <Arguments>" and waits for it; raises when it fails
    // (systemctl has said why on standard error).
    static void Run(std::vector<std::string> const& Arguments);
};
} // namespace Application
