// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace Application
{
// DTVCC packets (CEA-708) for caption service 1. A caption replaces the one
// before: delete every window, define window 0 visible (one row of 32
// columns, anchored by its bottom centre at 90 % of the height and half the
// width), then the text, which shows as it arrives. Each caption is whole in
// one packet, so a decoder that starts at any packet shows the next caption
// complete.
class Cea708Encoder
{
public:
    // What fits in one service block beside the window commands.
    static constexpr std::size_t MaximalTextLength = 22;

    // The packet with its header (sequence number, size) and the service
    // block, padded to a whole number of byte pairs with a null block
    // header. Text: printable ASCII (G0), at most MaximalTextLength
    // characters. SequenceNumber counts packets modulo 4.
    static std::vector<std::uint8_t> Packet(std::string_view Text, std::uint32_t SequenceNumber);
};
} // namespace Application
