// SPDX-License-Identifier: GPL-2.0-or-later
#include "http/ErrorCodeStatus.h"

#include <boost/asio/error.hpp>

namespace HttpServer
{
HRESULT HResultFromErrorCode(boost::system::error_code const& Error) noexcept
{
    if(!Error)
        return S_OK;
    if(Error.category() == boost::system::system_category() || Error.category() == boost::system::generic_category())
        return HResultFromErrno(Error.value());
    if(Error.category() == boost::asio::error::get_netdb_category() || Error.category() == boost::asio::error::get_addrinfo_category())
        return static_cast<HRESULT>(0x80072AF9); // WSAHOST_NOT_FOUND
    return E_FAIL;
}
} // namespace HttpServer
