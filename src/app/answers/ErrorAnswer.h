// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <chrono>
#include <exception>
#include <string>

#include "base/HResultError.h"
#include "http/Response.h"

namespace Application
{
// Answers a request that failed: status 400 "Bad Request" with the error
// body (FormatErrorBody) for an HResultError, without headers or body for
// any other exception. Once the head is out it is too late for a status:
// the connection is dropped, so that the client does not take the body
// for whole.
void AnswerFailure(HttpServer::Response& Response, std::exception const& Failure);

// Answers 503 "Service Unavailable" with the reason as a text body: what
// was asked for may be there later (a held request beyond the limit).
void AnswerUnavailable(HttpServer::Response& Response, std::string const& Reason);

// Answers 503 "Service Unavailable" for a service the answer needs that
// failed or was late (the asset store): the error body (FormatErrorBody) and
// "Retry-After", so that clients ask again then.
void AnswerUnavailable(HttpServer::Response& Response, HResultError const& Failure, std::chrono::seconds RetryAfter);
} // namespace Application
