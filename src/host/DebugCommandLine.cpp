// SPDX-License-Identifier: GPL-2.0-or-later
#include "host/DebugCommandLine.h"

#include <charconv>

#include "app/server/Console.h"
#include "base/Check.h"
#include "base/StringFormat.h"
#include "base/TraceSink.h"
#include "crash/MinidumpType.h"
#include "host/CommandLineOptions.h"
#include "host/DebugOutput.h"

namespace Application
{
namespace
{
template <typename NumberT>
std::optional<NumberT> ParseNumber(std::string_view Text)
{
    int Base = 10;
    if(Text.size() > 2 && Text[0] == '0' && (Text[1] == 'x' || Text[1] == 'X'))
    {
        Text.remove_prefix(2);
        Base = 16;
    }
    NumberT Value = 0;
    auto const [End, Error] = std::from_chars(Text.data(), Text.data() + Text.size(), Value, Base);
    if(Text.empty() || Error != std::errc() || End != Text.data() + Text.size())
        return std::nullopt;
    return Value;
}
} // namespace

std::uint32_t ParseMinidumpType(std::string_view Value)
{
    if(Value.empty() || EqualsIgnoreCase(Value, "Normal"))
        return MinidumpType::Normal;
    if(EqualsIgnoreCase(Value, "Full"))
        return MinidumpType::Full;
    return ParseNumber<std::uint32_t>(Value).value_or(MinidumpType::Normal);
}

std::optional<SelfDebuggingOptions> ParseDebugOptions(std::vector<std::string> const& Arguments)
{
    SelfDebuggingOptions Options;
    for(std::size_t Index = 1; Index < Arguments.size(); ++Index)
    {
        std::string Name;
        std::string Value;
        if(!ParseOptionArgument(Arguments[Index], Name, Value))
            continue;
        if(IsOptionName(Name, {"DisableDebugOutput"}))
            Options.DisableDebugOutput = true;
        else if(IsOptionName(Name, {"Debug"}))
        {
            Options.MinidumpType = ParseMinidumpType(Value);
            return Options;
        }
    }
    return std::nullopt;
}

void StartSelfDebugging(std::vector<std::string> const& Arguments)
{
    auto const Options = ParseDebugOptions(Arguments);
    if(!Options)
        return;
    if(!Options->DisableDebugOutput)
        TraceSink::SetForwarder(ForwardDebugOutput);
    if(!SelfDebugging::Start(*Options))
        ConsoleErrorLine("Warning, self-debugging is not available: no crash dumps will be written");
}

bool RunDebugger(std::vector<std::string> const& Arguments)
{
    for(std::size_t Index = 1; Index < Arguments.size(); ++Index)
    {
        if(Arguments[Index] != "-ParentProcessDebug")
            continue;
        CHECK_ARGUMENT(Index + 3 < Arguments.size());
        auto const Parent = ParseNumber<pid_t>(Arguments[Index + 1]);
        auto const Type = ParseNumber<std::uint32_t>(Arguments[Index + 2]);
        auto const Socket = ParseNumber<int>(Arguments[Index + 3]);
        CHECK_ARGUMENT(Parent && Type && Socket);
        SelfDebugging::RunWatcher(*Parent, *Type, *Socket);
        return true;
    }
    return false;
}
} // namespace Application
