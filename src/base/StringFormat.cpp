// SPDX-License-Identifier: GPL-2.0-or-later
#include "base/StringFormat.h"

#include <cstdarg>
#include <cstdio>

std::string StringFormat(char const* Format, ...)
{
    va_list Arguments;
    va_start(Arguments, Format);
    va_list Copy;
    va_copy(Copy, Arguments);
    int const Length = std::vsnprintf(nullptr, 0, Format, Copy);
    va_end(Copy);
    std::string Text;
    if(Length > 0)
    {
        Text.resize(static_cast<std::size_t>(Length));
        std::vsnprintf(Text.data(), Text.size() + 1, Format, Arguments);
    }
    va_end(Arguments);
    return Text;
}

bool EqualsIgnoreCase(std::string_view A, std::string_view B) noexcept
{
    if(A.size() != B.size())
        return false;
    for(std::size_t Index = 0; Index < A.size(); ++Index)
    {
        auto Lower = [](char C) { return (C >= 'A' && C <= 'Z') ? static_cast<char>(C - 'A' + 'a') : C; };
        if(Lower(A[Index]) != Lower(B[Index]))
            return false;
    }
    return true;
}

std::string Join(std::vector<std::string> const& Parts, std::string_view Separator)
{
    std::string Text;
    for(std::size_t Index = 0; Index < Parts.size(); ++Index)
    {
        if(Index)
            Text += Separator;
        Text += Parts[Index];
    }
    return Text;
}

std::string ReplacePlaceholders(std::string Text, std::vector<std::pair<std::string, std::string>> const& Values)
{
    for(auto const& [Name, Value] : Values)
    {
        std::string const Placeholder = "$(" + Name + ")";
        // Search on from after each replacement so that a value that contains
        // its own placeholder cannot loop forever.
        for(std::size_t Position = Text.find(Placeholder); Position != std::string::npos; Position = Text.find(Placeholder, Position + Value.size()))
            Text.replace(Position, Placeholder.size(), Value);
    }
    return Text;
}

std::string_view TrimBlanks(std::string_view Text) noexcept
{
    while(!Text.empty() && (Text.front() == ' ' || Text.front() == '\t'))
        Text.remove_prefix(1);
    while(!Text.empty() && (Text.back() == ' ' || Text.back() == '\t'))
        Text.remove_suffix(1);
    return Text;
}
