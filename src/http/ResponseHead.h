// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "http/KnownHeader.h"

namespace HttpServer
{
// How the body of an answer is delimited on the wire. The connection
// chooses, once, when it writes the head: nothing else writes framing.
enum class BodyFraming
{
    None,    // the status allows no body (1xx, 204, 304)
    Length,  // Content-Length: the head came with the whole body, or declares its length
    Chunked, // Transfer-Encoding: chunked, for an HTTP/1.1 body that follows in pieces
    Close,   // the end of the connection ends the body (an HTTP/1.0 client)
};

// The head of an answer as a value: status, reason and header fields. It
// stays a value from the route that makes it, through every edge that
// changes it (faults, pacing), to the connection, which alone writes it as
// text together with the framing it chooses. Field names and values never
// hold CR, LF or NUL (E_INVALIDARG).
struct ResponseHead
{
    unsigned Status = 200;
    std::string Reason = "OK";
    // Set when the head must declare a length other than that of the bytes
    // that come with it: an answer cut short keeps the length of the whole,
    // so its client sees the body end early.
    std::optional<std::uint64_t> DeclaredLength;

    ResponseHead() = default;
    ResponseHead(unsigned StatusCode, std::string ReasonPhrase);

    // Content-Length and Transfer-Encoding are the connection's: refused here.
    void Set(KnownHeader Header, std::string Value);
    void Remove(KnownHeader Header) noexcept { m_Known[static_cast<unsigned>(Header)].reset(); }
    std::optional<std::string> const& Get(KnownHeader Header) const noexcept { return m_Known[static_cast<unsigned>(Header)]; }
    // A field the server has no number for, after the others, in order.
    void Add(std::string Name, std::string Value);
    // Whether the status allows a body (RFC 9110 section 6.4.1).
    bool AllowsBody() const noexcept { return Status >= 200 && Status != 204 && Status != 304; }

    // The head as sent: status line, the fields, the framing field, Date
    // unless set, "Connection: close" when Close, and the empty line.
    std::string Format(BodyFraming Framing, std::uint64_t Length, bool Close) const;

private:
    std::array<std::optional<std::string>, KnownHeaderCount> m_Known;
    std::vector<std::pair<std::string, std::string>> m_Other;
};
} // namespace HttpServer
