// SPDX-License-Identifier: GPL-2.0-or-later
#include "http/Location.h"

#include <charconv>
#include <optional>

#include "base/HResultError.h"
#include "base/StringFormat.h"

namespace HttpServer
{
namespace
{
[[noreturn]] void RaiseInvalid(std::string_view Text, char const* Reason)
{
    throw HResultError(E_INVALIDARG, StringFormat("Location %.*s is not valid: %s", static_cast<int>(Text.size()), Text.data(), Reason));
}

std::uint16_t ParsePort(std::string_view Location, std::string_view Text)
{
    unsigned Value = 0;
    auto const [End, Error] = std::from_chars(Text.data(), Text.data() + Text.size(), Value);
    if(Text.empty() || Error != std::errc() || End != Text.data() + Text.size() || Value > 0xFFFF)
        RaiseInvalid(Location, "the port is not a number from 0 to 65535");
    return static_cast<std::uint16_t>(Value);
}
} // namespace

Location Location::Parse(std::string_view Text)
{
    constexpr std::string_view Scheme = "http://";
    if(Text.size() < Scheme.size() || !EqualsIgnoreCase(Text.substr(0, Scheme.size()), Scheme))
        RaiseInvalid(Text, "only http:// is served");
    std::string_view Rest = Text.substr(Scheme.size());
    std::size_t const PathPosition = Rest.find('/');
    std::string_view Authority = Rest.substr(0, PathPosition);
    Location Result;
    Result.Path = PathPosition == std::string_view::npos ? std::string("/") : std::string(Rest.substr(PathPosition));
    // The path is a prefix of request paths: without a final "/" it would
    // take "/hlsversion" for "/hls" and never "/hls/version".
    if(!Result.Path.ends_with('/'))
        RaiseInvalid(Text, "the path does not end with \"/\"");
    std::string_view HostText = Authority;
    std::optional<std::string_view> PortText;
    if(Authority.starts_with('['))
    {
        std::size_t const Close = Authority.find(']');
        if(Close == std::string_view::npos)
            RaiseInvalid(Text, "the IPv6 address has no closing bracket");
        HostText = Authority.substr(1, Close - 1);
        std::string_view const After = Authority.substr(Close + 1);
        if(!After.empty() && !After.starts_with(':'))
            RaiseInvalid(Text, "unexpected text after the IPv6 address");
        if(!After.empty())
            PortText = After.substr(1);
    }
    else if(std::size_t const Colon = Authority.rfind(':'); Colon != std::string_view::npos)
    {
        HostText = Authority.substr(0, Colon);
        PortText = Authority.substr(Colon + 1);
    }
    if(HostText.empty())
        RaiseInvalid(Text, "the host is missing");
    Result.Host = std::string(HostText);
    if(PortText)
        Result.Port = ParsePort(Text, *PortText);
    return Result;
}
} // namespace HttpServer
