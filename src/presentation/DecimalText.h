// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <string>

namespace Application
{
// Fixed-point text with exactly Digits fractional digits and a full stop,
// whatever the process locale ("%.3f" in the "C" locale).
std::string FormatDecimal(double Value, int Digits);
} // namespace Application
