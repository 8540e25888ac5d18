// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <ctime>
#include <string>
#include <string_view>

namespace Application
{
// "%04u-%02u-%02u %02u:%02u:%02u\t" in local time, the text without its own
// line end, and a line end.
std::string FormatDebugOutputLine(std::tm const& LocalTime, std::string_view Text);
// Writes one trace line to standard output with the local time in front.
void ForwardDebugOutput(std::string_view Text);
} // namespace Application
