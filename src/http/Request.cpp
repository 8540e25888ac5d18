// SPDX-License-Identifier: GPL-2.0-or-later
#include "http/Request.h"

#include "base/Check.h"
#include "base/StringFormat.h"
#include "http/AbsolutePath.h"

namespace HttpServer
{
namespace
{
[[noreturn]] void RaiseBadTarget(std::string_view Target)
{
    throw HResultError(E_INVALIDARG, StringFormat("The request target is not valid: %.*s", static_cast<int>(Target.size()), Target.data()));
}

// The host part of a Host header or of an absolute-form target, without port.
std::string_view HostWithoutPort(std::string_view Host)
{
    if(Host.starts_with('['))
        return Host.substr(0, Host.find(']') + 1);
    return Host.substr(0, Host.find(':'));
}
} // namespace

Request::Request(Head Value, std::string LocalAddress, std::uint16_t LocalPort, std::string ClientAddress) :
    m_Head(std::move(Value)), m_Verb(VerbFromMethod(m_Head.Method)), m_ClientAddress(std::move(ClientAddress))
{
    std::string_view Target = m_Head.Target;
    std::string_view Host = GetHeader("Host");
    if(Target.size() > 7 && EqualsIgnoreCase(Target.substr(0, 7), "http://"))
    {
        Target.remove_prefix(7);
        std::size_t const PathStart = Target.find_first_of("/?");
        Host = Target.substr(0, PathStart);
        Target = PathStart == std::string_view::npos ? std::string_view("/") : Target.substr(PathStart);
    }
    std::size_t const QueryStart = Target.find('?');
    std::string_view const RawPath = Target.substr(0, QueryStart);
    if(QueryStart != std::string_view::npos)
        m_QueryString = std::string(Target.substr(QueryStart));
    if(RawPath != "*" && !RawPath.starts_with('/'))
        RaiseBadTarget(m_Head.Target);
    auto Decoded = DecodeAbsolutePath(RawPath);
    if(!Decoded)
        RaiseBadTarget(m_Head.Target);
    m_AbsPath = std::move(*Decoded);
    std::string_view HostName = HostWithoutPort(Host);
    if(HostName.empty())
        HostName = LocalAddress;
    m_FullUrl = StringFormat("http://%.*s:%u%s%s", static_cast<int>(HostName.size()), HostName.data(), static_cast<unsigned>(LocalPort), m_AbsPath.c_str(), m_QueryString.c_str());
}

std::string_view Request::GetHeader(std::string_view Name) const noexcept
{
    for(auto const& [FieldName, FieldValue] : m_Head.Headers)
        if(EqualsIgnoreCase(FieldName, Name))
            return FieldValue;
    return {};
}

std::string Request::GetListHeader(std::string_view Name) const
{
    std::string List;
    for(auto const& [FieldName, FieldValue] : m_Head.Headers)
        if(EqualsIgnoreCase(FieldName, Name))
        {
            if(!List.empty() && !FieldValue.empty())
                List += ", ";
            List += FieldValue;
        }
    return List;
}

void Request::GetQueryStringNameValueVector(QueryVector& Vector) const
{
    ASSERT(Vector.empty());
    Vector = ParseQueryString(m_QueryString);
}

void Request::Trace() const
{
    if(!TraceSink::IsEnabled())
        return;
    TRACE("Version %u.%u, Verb %s, Method \"%s\"\n", m_Head.Version / 10, m_Head.Version % 10, std::string(VerbName(m_Verb)).c_str(), m_Head.Method.c_str());
    TRACE("pRawUrl \"%s\"\n", m_Head.Target.c_str());
    TRACE("CookedUrl { pFullUrl \"%s\", pAbsPath \"%s\", pQueryString \"%s\" }\n", m_FullUrl.c_str(), m_AbsPath.c_str(), m_QueryString.c_str());
    TRACE("Headers.Count %zu\n", m_Head.Headers.size());
    for(std::size_t Index = 0; Index < m_Head.Headers.size(); ++Index)
        TRACE("Headers[%zu] \"%s\" \"%s\"\n", Index, m_Head.Headers[Index].first.c_str(), m_Head.Headers[Index].second.c_str());
    TRACE("BytesReceived %llu\n", static_cast<unsigned long long>(m_Head.BodySize));
}
} // namespace HttpServer
