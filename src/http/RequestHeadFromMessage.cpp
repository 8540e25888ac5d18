// SPDX-License-Identifier: GPL-2.0-or-later
#include "http/RequestHeadFromMessage.h"

namespace HttpServer
{
Request::Head RequestHeadFromMessage(boost::beast::http::request<boost::beast::http::string_body> const& Message)
{
    Request::Head Head;
    Head.Method = std::string(Message.method_string());
    Head.Version = Message.version();
    Head.Target = std::string(Message.target());
    for(auto const& Field : Message)
        Head.Headers.emplace_back(std::string(Field.name_string()), std::string(Field.value()));
    Head.BodySize = Message.body().size();
    Head.Body = Message.body();
    Head.KeepAlive = Message.keep_alive();
    return Head;
}
} // namespace HttpServer
