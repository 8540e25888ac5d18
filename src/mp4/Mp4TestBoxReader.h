// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "mp4/Mp4TestBytes.h"

// Helpers of the unit tests: written boxes read back as a tree.
namespace Mp4::Test
{
// A box as read back: its type and content, and its children when it is a
// container (the boxes that hold boxes, with the bytes to skip before the
// first child).
struct ReadBox
{
    std::string m_Type;
    std::vector<std::uint8_t> m_Content;
    std::vector<ReadBox> m_Children;
    std::size_t m_Offset = 0; // of the box's first byte in what was read

    ReadBox const& Child(std::string const& Type) const
    {
        for(auto const& Value : m_Children)
            if(Value.m_Type == Type)
                return Value;
        throw std::runtime_error("no " + Type + " in " + m_Type);
    }
    std::vector<ReadBox const*> Children(std::string const& Type) const
    {
        std::vector<ReadBox const*> Result;
        for(auto const& Value : m_Children)
            if(Value.m_Type == Type)
                Result.push_back(&Value);
        return Result;
    }
    std::vector<std::string> ChildTypes() const
    {
        std::vector<std::string> Result;
        for(auto const& Value : m_Children)
            Result.push_back(Value.m_Type);
        return Result;
    }
    std::string Text() const { return {m_Content.begin(), m_Content.end()}; }
};

inline std::map<std::string, std::size_t> const ContainerSkip = {{"moov", 0}, {"trak", 0}, {"mdia", 0}, {"minf", 0}, {"stbl", 0}, {"mvex", 0},
                                                                 {"moof", 0}, {"traf", 0}, {"vttc", 0}, {"stsd", 8}, {"wvtt", 8}};

// Every box must end exactly where its parent does: sizes add up or this throws.
inline std::vector<ReadBox> ReadBoxes(std::vector<std::uint8_t> const& Data, std::size_t Begin, std::size_t End)
{
    std::vector<ReadBox> Result;
    while(Begin < End)
    {
        if(End - Begin < 8)
            throw std::runtime_error("truncated box header");
        std::size_t const Size = ReadU32(Data, Begin);
        if(Size < 8 || Size > End - Begin)
            throw std::runtime_error("box size out of its parent");
        ReadBox Value{{Data.begin() + Begin + 4, Data.begin() + Begin + 8}, {Data.begin() + Begin + 8, Data.begin() + Begin + Size}, {}, Begin};
        if(auto const Skip = ContainerSkip.find(Value.m_Type); Skip != ContainerSkip.end())
            Value.m_Children = ReadBoxes(Data, Begin + 8 + Skip->second, Begin + Size);
        Result.push_back(std::move(Value));
        Begin += Size;
    }
    return Result;
}
inline std::vector<ReadBox> ReadBoxes(std::vector<std::uint8_t> const& Data) { return ReadBoxes(Data, 0, Data.size()); }
} // namespace Mp4::Test
