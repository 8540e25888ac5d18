// SPDX-License-Identifier: GPL-2.0-or-later
#include "http/KnownHeader.h"

#include <array>

namespace HttpServer
{
std::string_view KnownHeaderName(KnownHeader Header) noexcept
{
    static constexpr std::array<std::string_view, KnownHeaderCount> Names{
        "Cache-Control", "Connection", "Date", "Keep-Alive", "Pragma", "Trailer", "Transfer-Encoding", "Upgrade",
        "Via", "Warning", "Allow", "Content-Length", "Content-Type", "Content-Encoding", "Content-Language",
        "Content-Location", "Content-MD5", "Content-Range", "Expires", "Last-Modified", "Accept-Ranges", "Age",
        "ETag", "Location", "Proxy-Authenticate", "Retry-After", "Server", "Set-Cookie", "Vary", "WWW-Authenticate"};
    auto const Index = static_cast<unsigned>(Header);
    return Index < Names.size() ? Names[Index] : std::string_view();
}
} // namespace HttpServer
