// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "app/routing/RouteGroup.h"

namespace Application
{
// "version", "options.json" (OptionTable::Json) and "exception": small
// answers about the server itself.
class TextRoutes : public RouteGroup
{
public:
    TextRoutes(ServerContext& Context, RouteTable& Table);

    // "Git Describe: ...\r\n" (when known), "Configuration: ...\r\n", then
    // "--\r\n" and the last commit's log when known.
    static std::string VersionText();
};
} // namespace Application
