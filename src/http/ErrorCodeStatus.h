// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <boost/system/error_code.hpp>

#include "base/Status.h"

namespace HttpServer
{
// The platform status of a socket or resolver error: system errors through
// the errno table (HResultFromErrno), a name the resolver cannot find as
// WSAHOST_NOT_FOUND (0x80072AF9), anything else E_FAIL.
HRESULT HResultFromErrorCode(boost::system::error_code const& Error) noexcept;
} // namespace HttpServer
