// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/answers/CrossOriginHeaders.h"

namespace Application
{
void AddCrossOriginHeaders(HttpServer::Response& Response)
{
    Response.AddUnknownHeader("Access-Control-Allow-Origin", "*");
    Response.AddUnknownHeader("Access-Control-Allow-Methods", "GET, OPTIONS");
    Response.AddUnknownHeader("Access-Control-Allow-Headers", "Content-Type, Range");
    Response.AddUnknownHeader("Access-Control-Expose-Headers", "Content-Length, Range");
    Response.AddUnknownHeader("Access-Control-Max-Age", "86400");
}
} // namespace Application
