// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <exception>
#include <string>

#include "base/Status.h"

// The one error type failures travel in: a status and an optional message.
class HResultError : public std::exception
{
public:
    explicit HResultError(HRESULT Code, std::string Message = {});

    HRESULT Code() const noexcept { return m_Code; }
    // The message given when raised, else the platform's text for well-known
    // statuses, else empty.
    std::string const& Message() const noexcept { return m_Message; }
    char const* what() const noexcept override;

    static char const* StandardMessage(HRESULT Code) noexcept;

private:
    HRESULT m_Code;
    std::string m_Message;
    std::string m_What;
};
