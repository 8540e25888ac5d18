// SPDX-License-Identifier: GPL-2.0-or-later
#include "base/Check.h"

#include <cstdio>
#include <cstring>

void ThrowCheckFailure(HRESULT Status, TraceContext const& Context, char const* Expression, std::string Message)
{
    if(TraceSink::IsEnabled())
        Trace(Context, "Exception, 0x%08X, expression %s\n", static_cast<unsigned>(Status), Expression);
    throw HResultError(Status, std::move(Message));
}

void ThrowAssertFailure(char const* Kind, char const* Expression, char const* File, int Line)
{
    char const* Separator = std::strrchr(File, '/');
    char Message[1024];
    std::snprintf(Message, sizeof Message, "%s failed, expression %s, at %s(%d)", Kind, Expression, Separator ? Separator + 1 : File, Line);
    if(TraceSink::IsEnabled())
        Trace(TraceContext{File, false, Line, ""}, "%s\n", Message);
    throw HResultError(E_UNEXPECTED, Message);
}
