// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <string>
#include <string_view>

namespace Application
{
// Console messages go to standard output, warnings and errors to standard
// error, one whole line per call, flushed at once so that a pipe reader sees
// each line when it happens.
void ConsoleLine(char const* Format, ...) __attribute__((format(printf, 1, 2)));
void ConsoleErrorLine(char const* Format, ...) __attribute__((format(printf, 1, 2)));

// Text from a client made safe for a terminal: control characters become
// "%XX" escapes.
std::string PrintableText(std::string_view Text);
} // namespace Application
