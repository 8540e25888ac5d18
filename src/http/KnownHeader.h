// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <string_view>

namespace HttpServer
{
// Response headers the server knows by number, in the numbering the
// response record uses (Content-Type is 12, Transfer-Encoding 6).
enum class KnownHeader : unsigned
{
    CacheControl,
    Connection,
    Date,
    KeepAlive,
    Pragma,
    Trailer,
    TransferEncoding,
    Upgrade,
    Via,
    Warning,
    Allow,
    ContentLength,
    ContentType,
    ContentEncoding,
    ContentLanguage,
    ContentLocation,
    ContentMd5,
    ContentRange,
    Expires,
    LastModified,
    AcceptRanges,
    Age,
    ETag,
    Location,
    ProxyAuthenticate,
    RetryAfter,
    Server,
    SetCookie,
    Vary,
    WwwAuthenticate,
};

constexpr unsigned KnownHeaderCount = 30;

// The header's field name as written on the wire ("Content-Type").
std::string_view KnownHeaderName(KnownHeader Header) noexcept;
} // namespace HttpServer
