// SPDX-License-Identifier: GPL-2.0-or-later
#include "host/CommandLineOptions.h"

#include <algorithm>
#include <limits>

#include <boost/asio/ip/address.hpp>

#include "app/context/Console.h"
#include "base/Check.h"
#include "base/HResultError.h"
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

// A limit must be written as a whole decimal number within its range: a
// mistyped one would silently give a server that turns clients away.
std::size_t ParseBounded(char const* Option, std::string const& Text, std::uint64_t Lowest, std::uint64_t Highest)
{
    bool const Digits = !Text.empty() && Text.size() <= 19 && Text.find_first_not_of("0123456789") == std::string::npos;
    std::uint64_t const Value = Digits ? ParseDecimal64(Text) : 0;
    if(!Digits || Value < Lowest || Value > Highest)
        throw HResultError(E_INVALIDARG, StringFormat("-%s %s is not valid: expected a whole number from %llu to %llu", Option, Text.c_str(),
                                                      static_cast<unsigned long long>(Lowest), static_cast<unsigned long long>(Highest)));
    return static_cast<std::size_t>(Value);
}

std::string ParseAddress(std::string const& Text)
{
    boost::system::error_code Error;
    auto const Address = boost::asio::ip::make_address(Text, Error);
    if(Error)
        throw HResultError(E_INVALIDARG, StringFormat("-TrustedProxy %s is not valid: expected an IPv4 or IPv6 address such as 127.0.0.1 or ::1", Text.c_str()));
    // A peer's IPv4 address is compared as IPv4, also when written mapped.
    if(Address.is_v6() && Address.to_v6().is_v4_mapped())
        return boost::asio::ip::make_address_v4(boost::asio::ip::v4_mapped, Address.to_v6()).to_string();
    return Address.to_string();
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
        else if(IsOptionName(Name, {"MaxConnections", "mc"}))
            Settings.MaximalConnections = ParseBounded("MaxConnections", NextArgument(), 1, MaximalConnectionLimit);
        else if(IsOptionName(Name, {"MaxConnectionsPerAddress", "mcpa"}))
            Settings.MaximalConnectionsPerAddress = ParseBounded("MaxConnectionsPerAddress", NextArgument(), 2, MaximalConnectionLimit);
        else if(IsOptionName(Name, {"TrustedProxy", "tp"}))
            Settings.TrustedProxies.push_back(ParseAddress(NextArgument()));
        else
            ConsoleErrorLine("Warning, command line option argument not recognized: %s", Name.c_str());
    }
    if(Settings.Locations.empty())
        Settings.Locations.push_back("http://+:80/hls/");
}
} // namespace Application
