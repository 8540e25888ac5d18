// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/context/Console.h"

#include <cstdarg>
#include <cstdio>

namespace Application
{
namespace
{
void WriteLine(std::FILE* Stream, char const* Format, va_list Arguments)
{
    va_list Copy;
    va_copy(Copy, Arguments);
    int const Length = std::vsnprintf(nullptr, 0, Format, Copy);
    va_end(Copy);
    if(Length < 0)
        return;
    std::string Line(static_cast<std::size_t>(Length) + 1, '\0');
    std::vsnprintf(Line.data(), Line.size(), Format, Arguments);
    Line.back() = '\n';
    std::fwrite(Line.data(), 1, Line.size(), Stream);
    std::fflush(Stream);
}
} // namespace

void ConsoleLine(char const* Format, ...)
{
    va_list Arguments;
    va_start(Arguments, Format);
    WriteLine(stdout, Format, Arguments);
    va_end(Arguments);
}

void ConsoleErrorLine(char const* Format, ...)
{
    va_list Arguments;
    va_start(Arguments, Format);
    WriteLine(stderr, Format, Arguments);
    va_end(Arguments);
}

std::string PrintableText(std::string_view Text)
{
    std::string Result;
    Result.reserve(Text.size());
    for(char const Character : Text)
    {
        auto const Code = static_cast<unsigned char>(Character);
        if(Code < 0x20 || Code == 0x7F)
        {
            char Escape[4];
            std::snprintf(Escape, sizeof Escape, "%%%02X", Code);
            Result += Escape;
        }
        else
            Result.push_back(Character);
    }
    return Result;
}
} // namespace Application
