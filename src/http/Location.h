// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace HttpServer
{
// One URL prefix the server listens on, in the forms "http://+:80/hls/",
// "http://*:8080/x/", "http://127.0.0.1:9000/a/", "http://[::1]:9000/a/" or
// with a host name. "+" and "*" stand for every local address.
struct Location
{
    std::string Host; // without brackets; "+" or "*" for every address
    std::uint16_t Port = 80; // 0 binds a free port (tests)
    std::string Path; // from the first "/" after the host part, ending with "/"

    bool IsWildcard() const { return Host == "+" || Host == "*"; }

    // Raises E_INVALIDARG with a message naming the text when it is not an
    // "http://" location with a valid port and a path that ends with "/".
    static Location Parse(std::string_view Text);
};
} // namespace HttpServer
