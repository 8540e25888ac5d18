// SPDX-License-Identifier: GPL-2.0-or-later
#include "http/AbsolutePath.h"

#include "base/HexadecimalDigit.h"

#include <vector>

namespace HttpServer
{
namespace
{
std::optional<std::string> PercentDecode(std::string_view Text)
{
    std::string Result;
    Result.reserve(Text.size());
    for(std::size_t Index = 0; Index < Text.size(); ++Index)
    {
        char Character = Text[Index];
        if(Character == '%')
        {
            if(Text.size() - Index < 3)
                return std::nullopt;
            int const High = HexadecimalDigitValue(Text[Index + 1]);
            int const Low = HexadecimalDigitValue(Text[Index + 2]);
            if(High < 0 || Low < 0)
                return std::nullopt;
            Character = static_cast<char>(High * 16 + Low);
            Index += 2;
        }
        if(Character == '\0')
            return std::nullopt;
        Result.push_back(Character);
    }
    return Result;
}

// Segments are split after decoding so that an escaped "%2e%2e" cannot slip
// past the removal of "..".
std::string RemoveDotSegments(std::string_view Path)
{
    std::vector<std::string_view> Segments;
    bool TrailingSlash = false;
    std::size_t Position = 1;
    while(Position <= Path.size())
    {
        std::size_t End = Path.find('/', Position);
        if(End == std::string_view::npos)
            End = Path.size();
        std::string_view const Segment = Path.substr(Position, End - Position);
        bool const Last = End == Path.size();
        if(Segment == "..")
        {
            if(!Segments.empty())
                Segments.pop_back();
            TrailingSlash = Last;
        }
        else if(Segment == ".")
            TrailingSlash = Last;
        else
        {
            Segments.push_back(Segment);
            TrailingSlash = false;
        }
        Position = End + 1;
    }
    std::string Result;
    for(auto const& Segment : Segments)
    {
        Result += '/';
        Result += Segment;
    }
    if(Result.empty() || TrailingSlash)
        Result += '/';
    return Result;
}
} // namespace

std::optional<std::string> DecodeAbsolutePath(std::string_view RawPath)
{
    auto Decoded = PercentDecode(RawPath);
    if(!Decoded)
        return std::nullopt;
    if(!Decoded->starts_with('/'))
        return Decoded; // "*" of an OPTIONS request
    return RemoveDotSegments(*Decoded);
}
} // namespace HttpServer
