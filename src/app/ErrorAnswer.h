// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <exception>

#include "http/Response.h"

namespace Application
{
// Answers a request that failed: status 400 "Bad Request" with the error
// body (FormatErrorBody) for an HResultError, without headers or body for
// any other exception. Once the head is out it is too late for a status:
// the connection is dropped, so that the client does not take the body
// for whole.
void AnswerFailure(HttpServer::Response& Response, std::exception const& Failure);
} // namespace Application
