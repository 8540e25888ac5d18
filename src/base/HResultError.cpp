// SPDX-License-Identifier: GPL-2.0-or-later
#include "base/HResultError.h"

#include <cstdio>

HResultError::HResultError(HRESULT Code, std::string Message) : m_Code(Code), m_Message(std::move(Message))
{
    if(m_Message.empty())
        m_Message = StandardMessage(Code);
    char Text[32];
    std::snprintf(Text, sizeof Text, "0x%08X", static_cast<unsigned>(Code));
    m_What = m_Message.empty() ? std::string(Text) : std::string(Text) + " " + m_Message;
}

char const* HResultError::what() const noexcept
{
    return m_What.c_str();
}

char const* HResultError::StandardMessage(HRESULT Code) noexcept
{
    switch(Code)
    {
    case E_NOTIMPL: return "Not implemented";
    case E_POINTER: return "Invalid pointer";
    case E_ABORT: return "Operation aborted";
    case E_FAIL: return "Unspecified error";
    case E_UNEXPECTED: return "Catastrophic failure";
    case E_OUTOFMEMORY: return "Not enough memory resources are available to complete this operation.";
    case E_INVALIDARG: return "The parameter is incorrect.";
    case static_cast<HRESULT>(0x80070002): return "The system cannot find the file specified.";
    case static_cast<HRESULT>(0x80070005): return "Access is denied.";
    case static_cast<HRESULT>(0x800700B7): return "Cannot create a file when that file already exists.";
    case E_BOUNDS: return "The operation attempted to access data outside the valid range";
    case E_NOT_VALID_STATE: return "A method was called at an unexpected time.";
    case MF_E_SHUTDOWN: return "The object was shut down.";
    default: return "";
    }
}
