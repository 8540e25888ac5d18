// SPDX-License-Identifier: GPL-2.0-or-later
#include "host/CommandLineOptions.h"

#include <algorithm>
#include <limits>

#include "app/server/Console.h"
#include "base/Check.h"
#include "base/StringFormat.h"

namespace Application
{
namespace
{
// Decimal digits after optional blanks, up to the first other character
// ("0x3" is 0); too large a number is the largest one.
std::uint64_t ParseDecimal64(std::string_view Text)
{
    std::size_t Index = Text.find_first_not_of(" \t");
    if(Index == std::string_view::npos)
        return 0;
    std::uint64_t Value = 0;
    std::uint64_t const Largest = std::numeric_limits<std::uint64_t>::max();
    for(; Index < Text.size() && Text[Index] >= '0' && Text[Index] <= '9'; ++Index)
    {
        unsigned const Digit = static_cast<unsigned>(Text[Index] - '0');
        Value = Value > (Largest - Digit) / 10 ? Largest : Value * 10 + Digit;
    }
    return Value;
}

std::uint32_t ParseDecimal(std::string_view Text)
{
    return static_cast<std::uint32_t>(std::min<std::uint64_t>(ParseDecimal64(Text), std::numeric_limits<std::uint32_t>::max()));
}
} // namespace

bool ParseOptionArgument(std::string_view Argument, std::string& Name, std::string& Value)
{
    if(!Argument.starts_with('-'))
        return false;
    Argument.remove_prefix(1);
    std::size_t const Colon = Argument.find(':');
    Name = std::string(Argument.substr(0, Colon));
    Value = Colon == std::string_view::npos ? std::string() : std::string(Argument.substr(Colon + 1));
    return true;
}

bool IsOptionName(std::string_view Name, std::initializer_list<std::string_view> Names)
{
    for(auto const& Candidate : Names)
        if(EqualsIgnoreCase(Name, Candidate))
            return true;
    return false;
}

void ParseCommandLineOptions(Settings& Settings, std::vector<std::string> const& Arguments)
{
    for(std::size_t Index = 1; Index < Arguments.size(); ++Index)
    {
        std::string Name;
        std::string Value;
        if(!ParseOptionArgument(Arguments[Index], Name, Value))
        {
            ConsoleErrorLine("Warning, command line argument not recognized: %s", Arguments[Index].c_str());
            continue;
        }
        // Options with a value take the next argument, whatever it looks like.
        auto const NextArgument = [&]() -> std::string const& {
            CHECK_ARGUMENT(Index + 1 < Arguments.size());
            return Arguments[++Index];
        };
        if(IsOptionName(Name, {"DisableDebugOutput", "Debug", "Service"}))
            continue; // for self-debugging and the service commands
        if(IsOptionName(Name, {"ProcessAffinityMask", "paf"}))
            Settings.ProcessAffinityMask = ParseDecimal(NextArgument());
        else if(IsOptionName(Name, {"AdapterIndex", "ai"}))
            Settings.AdapterIndex = ParseDecimal(NextArgument());
        else if(IsOptionName(Name, {"Software", "sw"}))
            Settings.AdapterIndex.reset();
        else if(IsOptionName(Name, {"Location", "l"}))
            Settings.Locations.push_back(NextArgument());
        else if(IsOptionName(Name, {"WriteResponseBody", "wrb"}))
            Settings.WriteResponseBody = true;
        else if(IsOptionName(Name, {"DeletePreviousResponseBodies", "dprb"}))
            Settings.DeletePreviousResponseBodies = true;
        else if(IsOptionName(Name, {"SegmentCacheBytes", "scb"}))
            Settings.SegmentCacheBytes = ParseDecimal64(NextArgument());
        else if(IsOptionName(Name, {"AssetStore", "as"}))
            Settings.AssetStore = NextArgument();
        else
            ConsoleErrorLine("Warning, command line option argument not recognized: %s", Name.c_str());
    }
    if(Settings.Locations.empty())
        Settings.Locations.push_back("http://+:80/hls/");
}
} // namespace Application
