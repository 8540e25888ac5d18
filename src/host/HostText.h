// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "base/BuildInfo.h"

namespace Application
{
// "<file> <git describe> (<configuration>)", the last commit's log, "--".
void PrintBanner(VersionInformation const& Information);
// The syntax help of the command line.
void PrintSyntax();
} // namespace Application
