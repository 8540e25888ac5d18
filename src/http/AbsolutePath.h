// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace HttpServer
{
// The decoded absolute path of a request target: percent escapes decoded to
// their bytes, "." and ".." segments removed (".." never climbs above "/").
// Nothing when an escape is not two hexadecimal digits or decodes to a NUL
// byte: such a request is refused before it reaches the server.
std::optional<std::string> DecodeAbsolutePath(std::string_view RawPath);
} // namespace HttpServer
