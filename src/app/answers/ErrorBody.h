// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <string>

#include "base/HResultError.h"

namespace Application
{
// Where the footer of every error body points.
inline constexpr char const* ProjectWebPage = "https://quorvel.example.org/";

// The body of a 400 answer: "Exception 0x%08X\n" and the message, trailing
// blanks, tabs and line ends removed, then a footer with "--" and a sentence
// pointing to the project's web page.
std::string FormatErrorBody(HResultError const& Error);
} // namespace Application
