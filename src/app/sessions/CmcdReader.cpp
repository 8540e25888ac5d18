// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/sessions/CmcdReader.h"

#include <charconv>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>

#include "presentation/QueryNumbers.h"

namespace Application
{
namespace
{
// One pair of the text: its key, and its value as written (empty for a key alone).
struct Pair
{
    std::string_view Key;
    std::optional<std::string> Text; // a quoted string, unescaped
    std::string_view Token;          // anything else, as written
    bool Alone = false;
    bool Malformed = false;
};

bool IsKeyCharacter(char Character)
{
    return (Character >= 'a' && Character <= 'z') || (Character >= '0' && Character <= '9') || Character == '-' || Character == '_' || Character == '.';
}

bool IsBlank(char Character)
{
    return Character == ' ' || Character == '\t';
}

// Reads the pair that starts at Position and moves Position past the comma
// that ends it; a malformed pair is skipped up to the next comma outside quotes.
Pair NextPair(std::string_view Text, std::size_t& Position)
{
    Pair Result;
    while(Position < Text.size() && IsBlank(Text[Position]))
        ++Position;
    std::size_t const KeyStart = Position;
    while(Position < Text.size() && IsKeyCharacter(Text[Position]))
        ++Position;
    Result.Key = Text.substr(KeyStart, Position - KeyStart);
    Result.Malformed = Result.Key.empty();
    if(Position < Text.size() && Text[Position] == '=')
    {
        ++Position;
        if(Position < Text.size() && Text[Position] == '"')
        {
            std::string Value;
            bool Closed = false;
            for(++Position; Position < Text.size(); ++Position)
            {
                char Character = Text[Position];
                if(Character == '"')
                {
                    Closed = true;
                    ++Position;
                    break;
                }
                if(Character == '\\')
                {
                    if(++Position == Text.size())
                        break;
                    Character = Text[Position];
                    Result.Malformed |= Character != '"' && Character != '\\';
                }
                // Printable ASCII only: the log writes strings into JSON and CSV as they are.
                Result.Malformed |= Character < 0x20 || Character > 0x7E;
                if(Value.size() < CmcdReader::MaximalStringLength + 1)
                    Value += Character;
            }
            Result.Malformed |= !Closed;
            Result.Text = std::move(Value);
        }
        else
        {
            std::size_t const TokenStart = Position;
            while(Position < Text.size() && Text[Position] != ',' && !IsBlank(Text[Position]))
                ++Position;
            Result.Token = Text.substr(TokenStart, Position - TokenStart);
            Result.Malformed |= Result.Token.empty();
        }
    }
    else
        Result.Alone = true;
    while(Position < Text.size() && IsBlank(Text[Position]))
        ++Position;
    if(Position < Text.size() && Text[Position] != ',')
    {
        // Something after the value: skip to the next comma outside quotes.
        Result.Malformed = true;
        bool Quoted = false;
        for(; Position < Text.size() && (Quoted || Text[Position] != ','); ++Position)
            if(Text[Position] == '"')
                Quoted = !Quoted;
            else if(Quoted && Text[Position] == '\\')
                ++Position;
    }
    if(Position < Text.size())
        ++Position; // the comma
    return Result;
}

std::optional<std::uint32_t> Integer(Pair const& Value)
{
    std::uint64_t Number = 0;
    auto const [End, Error] = std::from_chars(Value.Token.data(), Value.Token.data() + Value.Token.size(), Number);
    if(Value.Token.empty() || Error != std::errc() || End != Value.Token.data() + Value.Token.size() || Number > std::numeric_limits<std::uint32_t>::max())
        return std::nullopt;
    return static_cast<std::uint32_t>(Number);
}

std::optional<float> Decimal(Pair const& Value)
{
    double Number = 0;
    auto const [End, Error] = std::from_chars(Value.Token.data(), Value.Token.data() + Value.Token.size(), Number, std::chars_format::fixed);
    if(Value.Token.empty() || Error != std::errc() || End != Value.Token.data() + Value.Token.size() || !(Number >= 0 && Number <= CmcdReader::MaximalPlaybackRate))
        return std::nullopt;
    return static_cast<float>(Number);
}

std::optional<bool> Boolean(Pair const& Value)
{
    if(Value.Alone || Value.Token == "?1")
        return true;
    if(Value.Token == "?0")
        return false;
    return std::nullopt;
}

std::optional<std::string> String(Pair const& Value)
{
    if(!Value.Text || Value.Text->empty() || Value.Text->size() > CmcdReader::MaximalStringLength)
        return std::nullopt;
    return *Value.Text;
}

template <typename ValueT>
void Keep(std::optional<ValueT> const& Value, std::optional<ValueT>& Into)
{
    if(Value)
        Into = Value;
}

void Keep(std::optional<std::string> Value, std::string& Into)
{
    if(Value)
        Into = std::move(*Value);
}
} // namespace

void CmcdReader::Read(std::string_view Text, CmcdData& Into)
{
    if(Text.size() > MaximalTextLength)
        return;
    std::size_t Position = 0;
    while(Position < Text.size())
    {
        Pair const Value = NextPair(Text, Position);
        if(Value.Malformed)
            continue;
        auto const& Key = Value.Key;
        if(Key == "bl")
            Keep(Integer(Value), Into.BufferLength);
        else if(Key == "mtp")
            Keep(Integer(Value), Into.MeasuredThroughput);
        else if(Key == "br")
            Keep(Integer(Value), Into.EncodedBitrate);
        else if(Key == "d")
            Keep(Integer(Value), Into.ObjectDuration);
        else if(Key == "tb")
            Keep(Integer(Value), Into.TopBitrate);
        else if(Key == "pr")
            Keep(Decimal(Value), Into.PlaybackRate);
        else if(Key == "bs")
            Keep(Boolean(Value), Into.BufferStarvation);
        else if(Key == "su")
            Keep(Boolean(Value), Into.Startup);
        else if(Key == "sid")
            Keep(String(Value), Into.SessionId);
        else if(Key == "cid")
            Keep(String(Value), Into.ContentId);
        else if(Key == "ot" && !Value.Token.empty() && Value.Token.size() <= MaximalObjectTypeLength &&
                Value.Token.find_first_not_of("abcdefghijklmnopqrstuvwxyz") == std::string_view::npos)
            Into.ObjectType = std::string(Value.Token);
    }
}

CmcdData CmcdReader::FromRequest(HttpServer::Request const& Request, ::QueryVector const& Query)
{
    CmcdData Result;
    for(auto const Name : HeaderFields)
        if(auto const Value = Request.GetHeader(Name); !Value.empty())
            Read(Value, Result);
    if(auto const* Pair = FindOption(Query, QueryKey))
        Read(Pair->Value, Result);
    return Result;
}
} // namespace Application
