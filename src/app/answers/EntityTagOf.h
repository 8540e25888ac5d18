// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <string>
#include <string_view>

namespace Application
{
// A strong entity tag for these bytes: the first 128 bits of their SHA-256,
// in hexadecimal, quoted. Equal bytes give equal tags on every instance.
std::string EntityTagOf(std::string_view Bytes);
} // namespace Application
