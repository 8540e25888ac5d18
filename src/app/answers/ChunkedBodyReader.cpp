// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/answers/ChunkedBodyReader.h"

#include <algorithm>
#include <charconv>
#include <utility>

namespace Application
{
namespace
{
// A size line or a trailer line longer than this is no chunked body.
constexpr std::size_t MaximalLineBytes = 4096;
} // namespace

std::string ChunkedBodyReader::Read(std::string_view Bytes)
{
    std::string Payload;
    while(!Bytes.empty() && !Ended())
        switch(m_State)
        {
        case State::SizeLine:
            if(ReadLine(Bytes))
                OnSizeLine();
            break;
        case State::Data:
        {
            std::size_t const Take = std::min(m_Left, Bytes.size());
            Payload.append(Bytes.substr(0, Take));
            Bytes.remove_prefix(Take);
            if((m_Left -= Take) == 0)
                m_State = State::DataEnd;
            break;
        }
        case State::DataEnd:
            if(ReadLine(Bytes))
                m_State = m_Line.empty() ? State::SizeLine : State::Failed;
            break;
        case State::TrailerLine:
            if(ReadLine(Bytes) && m_Line.empty())
                m_State = State::Ended;
            break;
        case State::Ended:
        case State::Failed:
            break;
        }
    return Payload;
}

// Gathers one line into m_Line; true once its "\r\n" has come.
bool ChunkedBodyReader::ReadLine(std::string_view& Bytes)
{
    if(std::exchange(m_LineDone, false))
        m_Line.clear();
    auto const End = Bytes.find('\n');
    std::size_t const Take = End == std::string_view::npos ? Bytes.size() : End + 1;
    m_Line.append(Bytes.substr(0, Take));
    Bytes.remove_prefix(Take);
    if(m_Line.size() > MaximalLineBytes)
    {
        m_State = State::Failed;
        return false;
    }
    if(!m_Line.ends_with('\n'))
        return false;
    if(!m_Line.ends_with("\r\n"))
    {
        m_State = State::Failed;
        return false;
    }
    m_Line.resize(m_Line.size() - 2);
    m_LineDone = true;
    return true;
}

void ChunkedBodyReader::OnSizeLine()
{
    std::string_view Line = m_Line;
    Line = Line.substr(0, Line.find(';'));
    std::size_t Size = 0;
    auto const [End, Error] = std::from_chars(Line.data(), Line.data() + Line.size(), Size, 16);
    if(Error != std::errc() || End != Line.data() + Line.size() || Line.empty())
    {
        m_State = State::Failed;
        return;
    }
    m_Left = Size;
    m_State = Size == 0 ? State::TrailerLine : State::Data;
}
} // namespace Application
