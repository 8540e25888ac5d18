// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <string>
#include <string_view>
#include <vector>

// printf-style formatting into a string. Numbers follow the "C" locale: the
// program never changes LC_NUMERIC, so "%.3f" always writes a full stop.
std::string StringFormat(char const* Format, ...) __attribute__((format(printf, 1, 2)));

// ASCII case-insensitive equality (ordinal, no locale).
bool EqualsIgnoreCase(std::string_view A, std::string_view B) noexcept;

// Text without the blanks and tabs around it (HTTP's optional white space).
std::string_view TrimBlanks(std::string_view Text) noexcept;

std::string Join(std::vector<std::string> const& Parts, std::string_view Separator);

// Replaces every "$(Name)" by its value, repeatedly until none of the given
// names is left (a value that contains its own placeholder is replaced once).
std::string ReplacePlaceholders(std::string Text, std::vector<std::pair<std::string, std::string>> const& Values);
