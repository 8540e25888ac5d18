// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace Application
{
// The service's systemd unit: its name, its text and its files.
class SystemdUnit
{
public:
    // The service name "PellumoQuorvel" as systemd spells unit names.
    static constexpr std::string_view Name = "pellumo-quorvel.service";
    static constexpr std::string_view DisplayName = "Pellumo Quorvel Service";
    // The target that starts it at boot, as WantedBy names it.
    static constexpr std::string_view BootTarget = "multi-user.target";
    // Tests point the unit folder elsewhere with this environment variable.
    static constexpr char const* DirectoryVariable = "QUORVEL_SYSTEMD_UNIT_DIRECTORY";
    static constexpr char const* SystemDirectory = "/etc/systemd/system";

    // The folder of the unit: SystemDirectory, or the folder the variable
    // names (then systemd knows nothing of it).
    static std::filesystem::path GetDirectory();
    static bool IsDirectoryOverridden();

    // ExecStart: the program path in double quotes, " -Service:Main", with
    // Debugged " -Debug:Full", then every argument after the program that is
    // not a "-Service" option, each after one blank. Plain arguments are
    // copied as they are; what systemd would read differently (blanks,
    // quotes, backslashes, control characters, "%" and "$") is quoted and
    // escaped so that the service gets exactly these arguments.
    static std::string MakeCommandLine(std::string_view Program, std::vector<std::string> const& Arguments, bool Debugged);
    // The unit file's text for a command line.
    static std::string MakeText(std::string_view CommandLine);

    explicit SystemdUnit(std::filesystem::path Directory) : m_Directory(std::move(Directory)) {}

    std::filesystem::path GetPath() const { return m_Directory / Name; }
    // The link `systemctl enable` makes for WantedBy.
    std::filesystem::path GetBootLinkPath() const;

    bool IsInstalled() const;
    // Raises when the unit is not installed, or when this process may not
    // remove it (the folder needs privileges).
    void CheckRemovable() const;
    // Writes the unit and enables it for boot. Raises when it exists
    // already or cannot be written (the folder needs privileges).
    void Install(std::string const& Text) const;
    // Disables the unit and removes it. Raises when it is not installed or
    // cannot be removed.
    void Remove() const;

private:
    std::filesystem::path m_Directory;
};
} // namespace Application
