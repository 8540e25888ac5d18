// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace Application
{
// Reads a "Transfer-Encoding: chunked" body as it arrives in pieces of any
// size and gives back its payload. Chunk extensions and trailer fields are
// skipped. Anything that does not parse ends the body (Failed), as does the
// last chunk (Ended): later bytes are ignored.
class ChunkedBodyReader
{
public:
    // The payload bytes that Bytes completes or carries.
    std::string Read(std::string_view Bytes);
    bool Ended() const noexcept { return m_State == State::Ended || m_State == State::Failed; }
    bool Failed() const noexcept { return m_State == State::Failed; }

private:
    enum class State
    {
        SizeLine,    // "%X[;extension]\r\n"
        Data,        // m_Left bytes of payload
        DataEnd,     // "\r\n" after the payload
        TrailerLine, // trailer lines, up to an empty one
        Ended,
        Failed,
    };

    bool ReadLine(std::string_view& Bytes);
    void OnSizeLine();

    State m_State = State::SizeLine;
    std::string m_Line;
    bool m_LineDone = false; // m_Line holds a whole line, read already
    std::size_t m_Left = 0;
};
} // namespace Application
