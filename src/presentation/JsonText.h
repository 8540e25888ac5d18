// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <string>
#include <string_view>

namespace Application
{
// Text as a quoted JSON string: quotation marks and backslashes escaped,
// control characters as \u00XX, everything else (UTF-8 included) as it is.
std::string JsonString(std::string_view Text);
} // namespace Application
