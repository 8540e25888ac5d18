// SPDX-License-Identifier: GPL-2.0-or-later
#include "media/Cea608Encoder.h"

#include <bit>

#include "base/Check.h"

namespace Application
{
namespace
{
// Miscellaneous control codes of data channel 1 (first byte 0x14).
constexpr std::uint8_t ControlChannel1 = 0x14;
constexpr std::uint8_t ResumeCaptionLoading = 0x20;
constexpr std::uint8_t EraseNonDisplayedMemory = 0x2E;
constexpr std::uint8_t EndOfCaptionCode = 0x2F;
// Preamble address code of row 15, indent 0 (white): rows 14 and 15 share
// the first byte 0x14, the second byte's 0x20 bit picks row 15.
constexpr std::uint8_t Row15Indent0 = 0x70;

Cea608Encoder::BytePair Command(std::uint8_t First, std::uint8_t Second)
{
    return {Cea608Encoder::WithParity(First), Cea608Encoder::WithParity(Second)};
}
} // namespace

std::uint8_t Cea608Encoder::WithParity(std::uint8_t Value) noexcept
{
    auto const Bits = static_cast<std::uint8_t>(Value & 0x7F);
    return std::popcount(Bits) % 2 == 0 ? static_cast<std::uint8_t>(Bits | 0x80) : Bits;
}

Cea608Encoder::BytePair Cea608Encoder::Padding() noexcept
{
    return {WithParity(0), WithParity(0)};
}

Cea608Encoder::BytePair Cea608Encoder::EndOfCaption() noexcept
{
    return Command(ControlChannel1, EndOfCaptionCode);
}

std::vector<Cea608Encoder::BytePair> Cea608Encoder::LoadPopOn(std::string_view Text)
{
    CHECK_ARGUMENT(Text.size() <= MaximalTextLength);
    std::vector<BytePair> Pairs;
    for(std::uint8_t Code : {ResumeCaptionLoading, EraseNonDisplayedMemory, Row15Indent0})
    {
        Pairs.push_back(Command(ControlChannel1, Code));
        Pairs.push_back(Command(ControlChannel1, Code));
    }
    for(std::size_t Index = 0; Index < Text.size(); Index += 2)
    {
        auto const First = static_cast<std::uint8_t>(Text[Index]);
        auto const Second = Index + 1 < Text.size() ? static_cast<std::uint8_t>(Text[Index + 1]) : std::uint8_t{0};
        // The basic characters are 0x20 to 0x7F; a lone last one is paired with a null.
        CHECK_ARGUMENT(First >= 0x20 && First <= 0x7F && (Second == 0 || (Second >= 0x20 && Second <= 0x7F)));
        Pairs.push_back({WithParity(First), WithParity(Second)});
    }
    return Pairs;
}
} // namespace Application
