// SPDX-License-Identifier: GPL-2.0-or-later
#include "host/DebugOutput.h"

#include <cstdio>

#include "base/StringFormat.h"

namespace Application
{
std::string FormatDebugOutputLine(std::tm const& LocalTime, std::string_view Text)
{
    if(Text.ends_with('\n'))
        Text.remove_suffix(1);
    return StringFormat("%04u-%02u-%02u %02u:%02u:%02u\t", static_cast<unsigned>(LocalTime.tm_year + 1900), static_cast<unsigned>(LocalTime.tm_mon + 1),
                        static_cast<unsigned>(LocalTime.tm_mday), static_cast<unsigned>(LocalTime.tm_hour), static_cast<unsigned>(LocalTime.tm_min),
                        static_cast<unsigned>(LocalTime.tm_sec)) +
           std::string(Text) + "\n";
}

void ForwardDebugOutput(std::string_view Text)
{
    std::time_t const Now = std::time(nullptr);
    std::tm LocalTime{};
    localtime_r(&Now, &LocalTime);
    std::string const Line = FormatDebugOutputLine(LocalTime, Text);
    std::fwrite(Line.data(), 1, Line.size(), stdout);
    std::fflush(stdout);
}
} // namespace Application
