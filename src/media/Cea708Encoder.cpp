// SPDX-License-Identifier: GPL-2.0-or-later
#include "media/Cea708Encoder.h"

#include "base/Check.h"

namespace Application
{
namespace
{
constexpr std::uint8_t ServiceNumber = 1;
constexpr std::uint8_t MaximalBlockSize = 31;
// C1 commands.
constexpr std::uint8_t DeleteWindows = 0x8C;
constexpr std::uint8_t DefineWindow0 = 0x98;
constexpr std::uint8_t AllWindows = 0xFF;
// DefineWindow's six parameters: visible, row and column locked, priority 0;
// relative position, anchor 90 % down; 50 % across; anchor point 7 (bottom
// centre), one row; 32 columns; window style 1, pen style 1.
constexpr std::uint8_t WindowParameters[]{0x38, 0x80 | 90, 50, 0x70, 32 - 1, 0x09};
} // namespace

std::vector<std::uint8_t> Cea708Encoder::Packet(std::string_view Text, std::uint32_t SequenceNumber)
{
    CHECK_ARGUMENT(Text.size() <= MaximalTextLength);
    std::vector<std::uint8_t> Block{DeleteWindows, AllWindows, DefineWindow0};
    for(std::uint8_t Parameter : WindowParameters)
        Block.push_back(Parameter);
    for(char Character : Text)
    {
        auto const Code = static_cast<std::uint8_t>(Character);
        CHECK_ARGUMENT(Code >= 0x20 && Code <= 0x7E);
        Block.push_back(Code);
    }
    ASSERT(Block.size() <= MaximalBlockSize);
    std::vector<std::uint8_t> Packet;
    Packet.reserve(Block.size() + 3);
    Packet.push_back(0);
    Packet.push_back(static_cast<std::uint8_t>(ServiceNumber << 5 | Block.size()));
    for(std::uint8_t Byte : Block)
        Packet.push_back(Byte);
    // The size is counted in pairs; what is left is a null service block.
    if(Packet.size() % 2 != 0)
        Packet.push_back(0);
    Packet[0] = static_cast<std::uint8_t>((SequenceNumber & 3) << 6 | Packet.size() / 2);
    return Packet;
}
} // namespace Application
