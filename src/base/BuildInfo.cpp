// SPDX-License-Identifier: GPL-2.0-or-later
#include "base/BuildInfo.h"

#include <filesystem>
#include <system_error>

VersionInformation BuildInfo::Read()
{
    VersionInformation Information;
    std::error_code Error;
    auto const Path = std::filesystem::read_symlink("/proc/self/exe", Error);
    if(!Error)
        Information.FileName = Path.filename().string();
    Information.GitLog = GitLogText;
    Information.GitDescribe = GitDescribeText;
    Information.Configuration = ConfigurationText;
    return Information;
}
