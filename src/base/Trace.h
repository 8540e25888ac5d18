// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <string>

#include "base/TraceSink.h"

// Where a trace line comes from: file, line and the function's signature as the
// compiler spells it (reduced to "Class::Method" when the line is written).
struct TraceContext
{
    char const* File;
    bool KeepFullPath;
    int Line;
    char const* Function;
};

#define TRACE_CONTEXT() (TraceContext{__FILE__, false, __LINE__, __PRETTY_FUNCTION__})

// Formats printf-style into a buffer of MaximalTraceLength characters (longer
// messages are cut), prefixes "file(line): Class::Method: " and writes the line
// to the trace sink. Messages carry their own trailing line end.
void Trace(TraceContext const& Context, char const* Format, ...) noexcept __attribute__((format(printf, 2, 3)));

constexpr std::size_t MaximalTraceLength = 8192;

// "file(line): Class::Method: " for a context.
std::string FormatTracePrefix(TraceContext const& Context);
// "void A::B(int) const" becomes "A::B"; lambdas keep their enclosing function.
std::string QualifiedFunctionName(char const* PrettyFunction);

#define TRACE(...)                                      \
    do                                                  \
    {                                                   \
        if(TraceSink::IsEnabled())                      \
            ::Trace(TRACE_CONTEXT(), __VA_ARGS__);      \
    } while(false)
