// SPDX-License-Identifier: GPL-2.0-or-later
#include "base/Trace.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace
{
// Calls Visit(Index) for each character of Text outside template argument
// lists ("<...>"), until it returns false.
template <typename VisitT>
void AtTopLevel(std::string_view Text, VisitT&& Visit)
{
    int Depth = 0;
    for(std::size_t Index = 0; Index < Text.size(); ++Index)
    {
        char const Character = Text[Index];
        if(Character == '<')
            ++Depth;
        else if(Character == '>' && Depth > 0)
            --Depth;
        else if(Depth == 0 && !Visit(Index))
            return;
    }
}
} // namespace

std::string QualifiedFunctionName(char const* PrettyFunction)
{
    std::string_view Text(PrettyFunction ? PrettyFunction : "");
    // Cut the parameter list: the first "(" at template depth zero that is not
    // part of "operator()" or of "(anonymous namespace)".
    std::size_t End = Text.size();
    std::size_t Skip = 0;
    AtTopLevel(Text, [&](std::size_t Index) {
        if(Index < Skip || Text[Index] != '(')
            return true;
        if(Text.substr(Index).starts_with("(anonymous namespace)"))
        {
            Skip = Index + std::strlen("(anonymous namespace)");
            return true;
        }
        if(Index >= 8 && Text.substr(Index - 8, 8) == "operator" && Text.substr(Index).starts_with("()"))
        {
            Skip = Index + 2;
            return true;
        }
        End = Index;
        return false;
    });
    Text = Text.substr(0, End);
    // Cut the return type: everything up to the last blank at template depth zero.
    std::size_t Begin = 0;
    AtTopLevel(Text, [&](std::size_t Index) {
        if(Text[Index] == ' ' && !Text.substr(0, Index).ends_with("(anonymous") && !Text.substr(0, Index).ends_with("operator"))
            Begin = Index + 1;
        return true;
    });
    return std::string(Text.substr(Begin));
}

std::string FormatTracePrefix(TraceContext const& Context)
{
    char const* File = Context.File ? Context.File : "";
    if(!Context.KeepFullPath)
    {
        char const* Separator = std::strrchr(File, '/');
        if(Separator)
            File = Separator + 1;
    }
    char Line[32];
    std::snprintf(Line, sizeof Line, "(%d): ", Context.Line);
    return std::string(File) + Line + QualifiedFunctionName(Context.Function) + ": ";
}

void Trace(TraceContext const& Context, char const* Format, ...) noexcept
{
    if(!TraceSink::IsEnabled())
        return;
    try
    {
        char Message[MaximalTraceLength];
        va_list Arguments;
        va_start(Arguments, Format);
        std::vsnprintf(Message, sizeof Message, Format, Arguments);
        va_end(Arguments);
        TraceSink::Write(FormatTracePrefix(Context) + Message);
    }
    catch(...)
    {
        // A trace never throws.
    }
}
