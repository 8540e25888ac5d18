// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <boost/beast/http/message.hpp>
#include <boost/beast/http/string_body.hpp>

#include "http/Request.h"

namespace HttpServer
{
// What the server keeps of a parsed request: method, version, target, the
// header fields in order, the body (within the body limit) and whether to keep the
// connection.
Request::Head RequestHeadFromMessage(boost::beast::http::request<boost::beast::http::string_body> const& Message);
} // namespace HttpServer
