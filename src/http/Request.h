// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/QueryStringNameValue.h"
#include "http/Verb.h"

namespace HttpServer
{
// One received request: what the server routes on. Built by the connection
// that read it and handed to the request handler on the I/O thread.
class Request
{
public:
    using HeaderVector = std::vector<std::pair<std::string, std::string>>;

    struct Head
    {
        std::string Method;
        unsigned Version = 11; // 10 or 11
        std::string Target;    // as sent: origin form, absolute form or "*"
        HeaderVector Headers;  // in the order received
        std::uint64_t BodySize = 0;
        bool KeepAlive = true;
        std::string Body; // within Limits::MaximalBodyBytes
    };

    // Raises E_INVALIDARG with a message when the target cannot be decoded
    // (a bad escape, a NUL byte, a form that names no path).
    // ClientAddress: the client's address as text (see GetClientAddress).
    Request(Head Value, std::string LocalAddress, std::uint16_t LocalPort, std::string ClientAddress = {});

    Verb GetVerb() const noexcept { return m_Verb; }
    std::string const& GetMethod() const noexcept { return m_Head.Method; }
    unsigned GetVersion() const noexcept { return m_Head.Version; }
    bool IsKeepAlive() const noexcept { return m_Head.KeepAlive; }
    std::string const& GetRawUrl() const noexcept { return m_Head.Target; }
    // The decoded absolute path, "." and ".." segments removed.
    std::string const& GetAbsPath() const noexcept { return m_AbsPath; }
    // The raw query with its leading "?", or empty when there is none.
    std::string const& GetQueryString() const noexcept { return m_QueryString; }
    // "http://" host ":" port, the decoded path and the raw query.
    std::string const& GetFullUrl() const noexcept { return m_FullUrl; }
    // The client's address: the peer's, or the one a trusted proxy named in
    // X-Forwarded-For; the one it counts for within the connection limits.
    std::string const& GetClientAddress() const noexcept { return m_ClientAddress; }
    // The header fields the server reads that a request carries at most once
    // with one value (RFC 9110 section 5.3); the connection refuses a request
    // with several different ones (400). Host has a rule of its own: exactly
    // one, whatever the values.
    static constexpr std::array<std::string_view, 2> SingletonFields{"Range", "If-Range"};

    // The first header field of that name (case-insensitive), or empty: for
    // fields that are no list (SingletonFields, Host).
    std::string_view GetHeader(std::string_view Name) const noexcept;
    // Every header field of that name, in the order received, joined by ", "
    // into one list (RFC 9110 section 5.3), or empty: for the fields whose
    // value is a comma-separated list (If-None-Match).
    std::string GetListHeader(std::string_view Name) const;
    HeaderVector const& GetHeaders() const noexcept { return m_Head.Headers; }
    std::string const& GetBody() const noexcept { return m_Head.Body; }

    // Fills an empty vector with the decoded pairs of the query; raises
    // E_INVALIDARG on an escape that is not hexadecimal.
    void GetQueryStringNameValueVector(QueryVector& Vector) const;

    // When the request had arrived (its head and body read): on the steady
    // clock, which answer times are measured on, and on the system clock.
    std::chrono::steady_clock::time_point GetArrivalTime() const noexcept { return m_ArrivalTime; }
    std::chrono::system_clock::time_point GetArrivalSystemTime() const noexcept { return m_ArrivalSystemTime; }

    // Writes the request to the trace sink, one line per part.
    void Trace() const;

private:
    Head m_Head;
    Verb m_Verb;
    std::string m_AbsPath;
    std::string m_QueryString;
    std::string m_FullUrl;
    std::string m_ClientAddress;
    std::chrono::steady_clock::time_point m_ArrivalTime = std::chrono::steady_clock::now();
    std::chrono::system_clock::time_point m_ArrivalSystemTime = std::chrono::system_clock::now();
};
} // namespace HttpServer
