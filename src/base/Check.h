// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cerrno>

#include "base/HResultError.h"
#include "base/Trace.h"

// Checked calls, conditions, assertions and verifications. Every failure is
// traced with the expression's source text and raised as HResultError.

// Traces "Exception, 0x%08X, expression %s\n" and throws the status.
[[noreturn]] void ThrowCheckFailure(HRESULT Status, TraceContext const& Context, char const* Expression, std::string Message = {});
// Throws E_UNEXPECTED with "<Kind> failed, expression %s, at %s(%d)".
[[noreturn]] void ThrowAssertFailure(char const* Kind, char const* Expression, char const* File, int Line);

inline void Check(HRESULT Status, TraceContext const& Context, char const* Expression)
{
    if(Failed(Status))
        ThrowCheckFailure(Status, Context, Expression);
}

inline void CheckCondition(bool Condition, TraceContext const& Context, HRESULT Code, char const* Expression)
{
    if(!Condition)
        ThrowCheckFailure(Code, Context, Expression);
}

// A status-returning call.
#define CHECK(Expression) ::Check((Expression), TRACE_CONTEXT(), #Expression)
// A condition that fails with a given status (a platform status or a FailureCode).
#define CHECK_CONDITION(Condition, Code) ::CheckCondition(static_cast<bool>(Condition), TRACE_CONTEXT(), (Code), #Condition)
// A condition that fails with the program's own code for this source line.
#define CHECK_LINE(Condition) CHECK_CONDITION(Condition, FailureCodeFromLine(__LINE__))
// A POSIX call that returns -1 and sets errno.
#define CHECK_ERRNO(Expression)                                                            \
    do                                                                                     \
    {                                                                                      \
        if((Expression) == -1)                                                             \
            ::ThrowCheckFailure(HResultFromErrno(errno), TRACE_CONTEXT(), #Expression);    \
    } while(false)
// Interface entry checks.
#define CHECK_POINTER(Pointer) CHECK_CONDITION((Pointer) != nullptr, E_POINTER)
#define CHECK_ARGUMENT(Condition) CHECK_CONDITION(Condition, E_INVALIDARG)

#define ASSERT(Expression)                                                   \
    do                                                                       \
    {                                                                        \
        if(!(Expression))                                                    \
            ::ThrowAssertFailure("Assert", #Expression, __FILE__, __LINE__); \
    } while(false)
#define VERIFY(Expression)                                                   \
    do                                                                       \
    {                                                                        \
        if(!(Expression))                                                    \
            ::ThrowAssertFailure("Verify", #Expression, __FILE__, __LINE__); \
    } while(false)

// Runs Body and turns a raised HResultError into its status: the boundary
// where a component returns a status instead of throwing.
template <typename BodyT>
HRESULT StatusBoundary(BodyT&& Body) noexcept
{
    try
    {
        Body();
        return S_OK;
    }
    catch(HResultError const& Error)
    {
        return Error.Code();
    }
    catch(std::bad_alloc const&)
    {
        return E_OUTOFMEMORY;
    }
    catch(...)
    {
        return E_UNEXPECTED;
    }
}
