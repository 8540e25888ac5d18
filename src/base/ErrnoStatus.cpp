// SPDX-License-Identifier: GPL-2.0-or-later
#include "base/ErrnoStatus.h"

#include <cerrno>
#include <cstdint>

namespace
{
// A platform system error code in the failure facility 7.
constexpr HRESULT SystemError(std::uint16_t Code)
{
    return static_cast<HRESULT>(0x80070000u | Code);
}

// File system and process errors take the platform's file errors; socket
// errors its socket errors (the 100xx codes).
constexpr ErrnoStatus Table[] = {
    {ENOENT, SystemError(2)},           // ERROR_FILE_NOT_FOUND
    {ENOTDIR, SystemError(3)},          // ERROR_PATH_NOT_FOUND
    {EMFILE, SystemError(4)},           // ERROR_TOO_MANY_OPEN_FILES
    {ENFILE, SystemError(4)},           // ERROR_TOO_MANY_OPEN_FILES
    {EACCES, SystemError(5)},           // ERROR_ACCESS_DENIED
    {EPERM, SystemError(5)},            // ERROR_ACCESS_DENIED
    {EISDIR, SystemError(5)},           // ERROR_ACCESS_DENIED: opening a folder as a file
    {EBADF, SystemError(6)},            // ERROR_INVALID_HANDLE
    {ENOMEM, SystemError(14)},          // ERROR_OUTOFMEMORY (E_OUTOFMEMORY)
    {EXDEV, SystemError(17)},           // ERROR_NOT_SAME_DEVICE
    {EROFS, SystemError(19)},           // ERROR_WRITE_PROTECT
    {ETXTBSY, SystemError(32)},         // ERROR_SHARING_VIOLATION
    {ENOTSUP, SystemError(50)},         // ERROR_NOT_SUPPORTED (EOPNOTSUPP is the same number)
    {ENXIO, SystemError(55)},           // ERROR_DEV_NOT_EXIST
    {ENODEV, SystemError(55)},          // ERROR_DEV_NOT_EXIST
    {EINVAL, SystemError(87)},          // ERROR_INVALID_PARAMETER (E_INVALIDARG)
    {EPIPE, SystemError(109)},          // ERROR_BROKEN_PIPE
    {ENOSPC, SystemError(112)},         // ERROR_DISK_FULL
    {EDQUOT, SystemError(112)},         // ERROR_DISK_FULL
    {ENOSYS, SystemError(120)},         // ERROR_CALL_NOT_IMPLEMENTED
    {ENOTEMPTY, SystemError(145)},      // ERROR_DIR_NOT_EMPTY
    {EBUSY, SystemError(170)},          // ERROR_BUSY
    {EEXIST, SystemError(183)},         // ERROR_ALREADY_EXISTS
    {EADDRINUSE, SystemError(183)},     // ERROR_ALREADY_EXISTS: the address is taken
    {ENAMETOOLONG, SystemError(206)},   // ERROR_FILENAME_EXCED_RANGE
    {EFBIG, SystemError(223)},          // ERROR_FILE_TOO_LARGE
    {EOVERFLOW, SystemError(534)},      // ERROR_ARITHMETIC_OVERFLOW
    {ECANCELED, SystemError(995)},      // ERROR_OPERATION_ABORTED
    {EFAULT, SystemError(998)},         // ERROR_NOACCESS
    {EIO, SystemError(1117)},           // ERROR_IO_DEVICE
    {EDEADLK, SystemError(1131)},       // ERROR_POSSIBLE_DEADLOCK
    {ELOOP, SystemError(1921)},         // ERROR_CANT_RESOLVE_FILENAME
    {EINTR, SystemError(10004)},        // WSAEINTR
    {EAGAIN, SystemError(10035)},       // WSAEWOULDBLOCK (EWOULDBLOCK is the same number)
    {EINPROGRESS, SystemError(10036)},  // WSAEINPROGRESS
    {EALREADY, SystemError(10037)},     // WSAEALREADY
    {ENOTSOCK, SystemError(10038)},     // WSAENOTSOCK
    {EDESTADDRREQ, SystemError(10039)}, // WSAEDESTADDRREQ
    {EMSGSIZE, SystemError(10040)},     // WSAEMSGSIZE
    {EPROTOTYPE, SystemError(10041)},   // WSAEPROTOTYPE
    {ENOPROTOOPT, SystemError(10042)},  // WSAENOPROTOOPT
    {EPROTONOSUPPORT, SystemError(10043)}, // WSAEPROTONOSUPPORT
    {ESOCKTNOSUPPORT, SystemError(10044)}, // WSAESOCKTNOSUPPORT
    {EPFNOSUPPORT, SystemError(10046)}, // WSAEPFNOSUPPORT
    {EAFNOSUPPORT, SystemError(10047)}, // WSAEAFNOSUPPORT
    {EADDRNOTAVAIL, SystemError(10049)}, // WSAEADDRNOTAVAIL
    {ENETDOWN, SystemError(10050)},     // WSAENETDOWN
    {ENETUNREACH, SystemError(10051)},  // WSAENETUNREACH
    {ENETRESET, SystemError(10052)},    // WSAENETRESET
    {ECONNABORTED, SystemError(10053)}, // WSAECONNABORTED
    {ECONNRESET, SystemError(10054)},   // WSAECONNRESET
    {ENOBUFS, SystemError(10055)},      // WSAENOBUFS
    {EISCONN, SystemError(10056)},      // WSAEISCONN
    {ENOTCONN, SystemError(10057)},     // WSAENOTCONN
    {ESHUTDOWN, SystemError(10058)},    // WSAESHUTDOWN
    {ETIMEDOUT, SystemError(10060)},    // WSAETIMEDOUT
    {ECONNREFUSED, SystemError(10061)}, // WSAECONNREFUSED
    {EHOSTDOWN, SystemError(10064)},    // WSAEHOSTDOWN
    {EHOSTUNREACH, SystemError(10065)}, // WSAEHOSTUNREACH
};
} // namespace

std::span<ErrnoStatus const> ErrnoStatusTable() noexcept
{
    return Table;
}

HRESULT HResultFromErrno(int Error) noexcept
{
    for(auto const& Row : Table)
        if(Row.Errno == Error)
            return Row.Status;
    return E_FAIL;
}
