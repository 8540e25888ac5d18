// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <string_view>

namespace HttpServer
{
// Request methods, numbered as clients see them in the error message of a
// method the server does not answer ("Request->Verb %u": POST is 6).
enum class Verb : unsigned
{
    Unparsed,
    Unknown,
    Invalid,
    Options,
    Get,
    Head,
    Post,
    Put,
    Delete,
    Trace,
    Connect,
    Track,
    Move,
    Copy,
    Propfind,
    Proppatch,
    Mkcol,
    Lock,
    Unlock,
    Search,
};

// The verb of a method token (case-sensitive, as HTTP methods are); any
// other token is Verb::Unknown.
Verb VerbFromMethod(std::string_view Method) noexcept;
// "HttpVerbGET" and so on, for traces.
std::string_view VerbName(Verb Value) noexcept;
} // namespace HttpServer
