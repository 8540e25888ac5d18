// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "app/context/Settings.h"

namespace Application
{
// An argument is an option when it starts with "-": the rest splits at the
// first ":" into name and value ("-Debug:Full" gives "Debug" and "Full").
bool ParseOptionArgument(std::string_view Argument, std::string& Name, std::string& Value);

// Whether an option name is one of the given names (ASCII case-insensitive).
bool IsOptionName(std::string_view Name, std::initializer_list<std::string_view> Names);

// The largest -MaxConnections and -MaxConnectionsPerAddress: the most open
// files a Linux process may be allowed (fs.nr_open's default).
constexpr std::uint64_t MaximalConnectionLimit = 1'048'576;

// Applies the server options of Arguments (element 0 is the program) to
// Settings, in order, later ones overriding earlier ones. Unknown options
// and other arguments are warned about on standard error and skipped; an
// option whose value (the next argument) is missing, or a limit or address
// that is not valid, raises E_INVALIDARG with a message.
// Without a location, the default "http://+:80/hls/" is used.
void ParseCommandLineOptions(Settings& Settings, std::vector<std::string> const& Arguments);
} // namespace Application
