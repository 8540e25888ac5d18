// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "http/Response.h"

namespace Application
{
// The five headers that let browser players on other origins fetch what the
// server answers.
void AddCrossOriginHeaders(HttpServer::Response& Response);
} // namespace Application
