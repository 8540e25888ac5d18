// SPDX-License-Identifier: GPL-2.0-or-later
#include "http/Verb.h"

#include <array>

namespace HttpServer
{
namespace
{
constexpr std::array<std::string_view, 20> Methods{
    "", "", "", "OPTIONS", "GET", "HEAD", "POST", "PUT", "DELETE", "TRACE",
    "CONNECT", "TRACK", "MOVE", "COPY", "PROPFIND", "PROPPATCH", "MKCOL", "LOCK", "UNLOCK", "SEARCH"};
} // namespace

Verb VerbFromMethod(std::string_view Method) noexcept
{
    for(std::size_t Index = static_cast<std::size_t>(Verb::Options); Index < Methods.size(); ++Index)
        if(Methods[Index] == Method)
            return static_cast<Verb>(Index);
    return Verb::Unknown;
}

std::string_view VerbName(Verb Value) noexcept
{
    static constexpr std::array<std::string_view, 20> Names{
        "HttpVerbUnparsed", "HttpVerbUnknown", "HttpVerbInvalid", "HttpVerbOPTIONS", "HttpVerbGET", "HttpVerbHEAD",
        "HttpVerbPOST", "HttpVerbPUT", "HttpVerbDELETE", "HttpVerbTRACE", "HttpVerbCONNECT", "HttpVerbTRACK",
        "HttpVerbMOVE", "HttpVerbCOPY", "HttpVerbPROPFIND", "HttpVerbPROPPATCH", "HttpVerbMKCOL", "HttpVerbLOCK",
        "HttpVerbUNLOCK", "HttpVerbSEARCH"};
    auto const Index = static_cast<std::size_t>(Value);
    return Index < Names.size() ? Names[Index] : "HttpVerbUnknown";
}
} // namespace HttpServer
