// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>

// 32-bit statuses in the HRESULT convention: negative values are failures.
// The values are the ones clients and traces see, so they never change.
using HRESULT = std::int32_t;

constexpr HRESULT S_OK = 0;
constexpr HRESULT S_FALSE = 1;
constexpr HRESULT E_NOTIMPL = static_cast<HRESULT>(0x80004001);
constexpr HRESULT E_POINTER = static_cast<HRESULT>(0x80004003);
constexpr HRESULT E_ABORT = static_cast<HRESULT>(0x80004004);
constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005);
constexpr HRESULT E_UNEXPECTED = static_cast<HRESULT>(0x8000FFFF);
constexpr HRESULT E_OUTOFMEMORY = static_cast<HRESULT>(0x8007000E);
constexpr HRESULT E_INVALIDARG = static_cast<HRESULT>(0x80070057);
constexpr HRESULT E_NOT_VALID_STATE = static_cast<HRESULT>(0x8007139F);
constexpr HRESULT E_BOUNDS = static_cast<HRESULT>(0x8000000B);
constexpr HRESULT MF_E_SHUTDOWN = static_cast<HRESULT>(0xC00D3E85);

constexpr bool Succeeded(HRESULT Status) { return Status >= 0; }
constexpr bool Failed(HRESULT Status) { return Status < 0; }

// The program's own failure codes: 0x80FF0000 plus the source line of the check.
constexpr HRESULT FailureCodeFromLine(unsigned Line)
{
    return static_cast<HRESULT>(0x80FF0000u + (Line & 0xFFFFu));
}

// A POSIX error number as the platform status of the same meaning (EACCES
// is 0x80070005, EADDRINUSE 0x800700B7, ENOENT 0x80070002), from the table
// in ErrnoStatus.cpp; an error number it does not name gives E_FAIL.
HRESULT HResultFromErrno(int Error) noexcept;
