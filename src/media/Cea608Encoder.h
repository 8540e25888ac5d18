// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace Application
{
// Byte pairs of CEA-608 field 1, data channel 1 (CC1), each byte with odd
// parity in its top bit as the line 21 waveform carries it. Captions are
// pop-on: the text is loaded into the memory that is not shown, and an end
// of caption command swaps it onto the screen at once, the timing players
// render most reliably (the displayed text changes on one picture).
class Cea608Encoder
{
public:
    struct BytePair
    {
        std::uint8_t First = 0;
        std::uint8_t Second = 0;

        bool operator==(BytePair const&) const = default;
    };

    // The longest text a caption row holds.
    static constexpr std::size_t MaximalTextLength = 32;

    // Value (7 bits) with its top bit set where that makes the count of one
    // bits odd.
    static std::uint8_t WithParity(std::uint8_t Value) noexcept;
    // Nothing to say: a pair of null characters.
    static BytePair Padding() noexcept;
    // End of caption: shows what was loaded, and keeps what was shown for
    // the next load.
    static BytePair EndOfCaption() noexcept;
    // Loads Text (printable ASCII, at most MaximalTextLength characters, the
    // basic character set's look-alikes) on row 15 from its first column:
    // resume caption loading, erase non-displayed memory, the preamble
    // address, then the characters two to a pair. Every command is sent
    // twice, as decoders drop a repeated command and take the copy when the
    // first is lost.
    static std::vector<BytePair> LoadPopOn(std::string_view Text);
};
} // namespace Application
