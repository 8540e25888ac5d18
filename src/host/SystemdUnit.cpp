// SPDX-License-Identifier: GPL-2.0-or-later
#include "host/SystemdUnit.h"

#include <cstdlib>

#include <fcntl.h>
#include <unistd.h>

#include "app/answers/ErrorBody.h"
#include "base/Check.h"
#include "base/StringFormat.h"
#include "host/CommandLineOptions.h"

namespace Application
{
namespace
{
// systemd reads "%" as a specifier and "$" as a variable everywhere on the
// line, quoted or not.
void AppendUnitEscaped(std::string& Line, char Character)
{
    if(Character == '%' || Character == '$')
        Line.push_back(Character);
    Line.push_back(Character);
}

bool NeedsQuotes(std::string_view Argument)
{
    if(Argument.empty() || Argument == ";")
        return true;
    for(unsigned char const Character : Argument)
        if(Character <= ' ' || Character == 0x7F || Character == '"' || Character == '\'' || Character == '\\')
            return true;
    return false;
}

void AppendQuoted(std::string& Line, std::string_view Argument)
{
    Line.push_back('"');
    for(unsigned char const Character : Argument)
    {
        if(Character == '"' || Character == '\\')
        {
            Line.push_back('\\');
            Line.push_back(static_cast<char>(Character));
        }
        else if(Character < ' ' || Character == 0x7F)
            Line += StringFormat("\\x%02x", Character);
        else
            AppendUnitEscaped(Line, static_cast<char>(Character));
    }
    Line.push_back('"');
}

void AppendArgument(std::string& Line, std::string_view Argument)
{
    if(NeedsQuotes(Argument))
        return AppendQuoted(Line, Argument);
    for(char const Character : Argument)
        AppendUnitEscaped(Line, Character);
}

HResultError FileError(char const* Action, std::filesystem::path const& Path, std::error_code const& Error)
{
    return HResultError(HResultFromErrno(Error.value()), StringFormat("Cannot %s %s: %s", Action, Path.c_str(), Error.message().c_str()));
}

// Creates the file, failing when it exists, and writes Text into it.
std::error_code WriteNewFile(std::filesystem::path const& Path, std::string const& Text)
{
    int const File = open(Path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if(File < 0)
        return {errno, std::generic_category()};
    std::error_code Error;
    for(std::size_t Done = 0; Done < Text.size() && !Error;)
    {
        ssize_t const Count = write(File, Text.data() + Done, Text.size() - Done);
        if(Count < 0 && errno != EINTR)
            Error = {errno, std::generic_category()};
        else if(Count > 0)
            Done += static_cast<std::size_t>(Count);
    }
    if(close(File) != 0 && !Error)
        Error = {errno, std::generic_category()};
    if(Error)
        unlink(Path.c_str()); // no half-written unit
    return Error;
}
} // namespace

std::filesystem::path SystemdUnit::GetDirectory()
{
    char const* Overridden = std::getenv(DirectoryVariable);
    return Overridden && *Overridden ? std::filesystem::path(Overridden) : std::filesystem::path(SystemDirectory);
}

bool SystemdUnit::IsDirectoryOverridden()
{
    char const* Overridden = std::getenv(DirectoryVariable);
    return Overridden && *Overridden;
}

std::string SystemdUnit::MakeCommandLine(std::string_view Program, std::vector<std::string> const& Arguments, bool Debugged)
{
    std::string Line;
    AppendQuoted(Line, Program);
    Line += " -Service:Main";
    if(Debugged)
        Line += " -Debug:Full";
    for(std::size_t Index = 1; Index < Arguments.size(); ++Index)
    {
        std::string Name;
        std::string Value;
        if(ParseOptionArgument(Arguments[Index], Name, Value) && IsOptionName(Name, {"Service"}))
            continue;
        Line.push_back(' ');
        AppendArgument(Line, Arguments[Index]);
    }
    return Line;
}

std::string SystemdUnit::MakeText(std::string_view CommandLine)
{
    return StringFormat("[Unit]\n"
                        "Description=%.*s\n"
                        "Documentation=%s\n"
                        "Wants=network-online.target\n"
                        "After=network-online.target\n"
                        "\n"
                        "[Service]\n"
                        "Type=notify\n"
                        "ExecStart=%.*s\n"
                        "Restart=on-failure\n"
                        "# Crash dumps of -Debug go here ($STATE_DIRECTORY), not beside the program.\n"
                        "StateDirectory=pellumo-quorvel\n"
                        "\n"
                        "[Install]\n"
                        "WantedBy=%.*s\n",
                        static_cast<int>(DisplayName.size()), DisplayName.data(), ProjectWebPage, static_cast<int>(CommandLine.size()), CommandLine.data(),
                        static_cast<int>(BootTarget.size()), BootTarget.data());
}

std::filesystem::path SystemdUnit::GetBootLinkPath() const
{
    return m_Directory / (std::string(BootTarget) + ".wants") / Name;
}

bool SystemdUnit::IsInstalled() const
{
    std::error_code Error;
    return std::filesystem::exists(GetPath(), Error);
}

void SystemdUnit::Install(std::string const& Text) const
{
    auto const Path = GetPath();
    if(IsInstalled())
        throw HResultError(HResultFromErrno(EEXIST), StringFormat("The service %.*s is installed already: %s (remove it first with -Service:Delete)",
                                                                 static_cast<int>(Name.size()), Name.data(), Path.c_str()));
    std::error_code Error = WriteNewFile(Path, Text);
    if(Error)
        throw FileError("write", Path, Error);
    auto const Link = GetBootLinkPath();
    std::filesystem::create_directories(Link.parent_path(), Error);
    if(!Error)
        std::filesystem::create_symlink(Path, Link, Error);
    if(Error)
    {
        std::error_code Ignored;
        std::filesystem::remove(Path, Ignored);
        throw FileError("enable the service with", Link, Error);
    }
}

void SystemdUnit::CheckRemovable() const
{
    auto const Path = GetPath();
    if(!IsInstalled())
        throw HResultError(HResultFromErrno(ENOENT),
                           StringFormat("The service %.*s is not installed: there is no %s", static_cast<int>(Name.size()), Name.data(), Path.c_str()));
    if(access(m_Directory.c_str(), W_OK) != 0)
        throw FileError("remove", Path, std::error_code(errno, std::generic_category()));
}

void SystemdUnit::Remove() const
{
    CheckRemovable();
    auto const Path = GetPath();
    std::error_code Error;
    auto const Link = GetBootLinkPath();
    std::filesystem::remove(Link, Error);
    if(Error)
        throw FileError("disable the service, removing", Link, Error);
    std::filesystem::remove(Path, Error);
    if(Error)
        throw FileError("remove", Path, Error);
}
} // namespace Application
