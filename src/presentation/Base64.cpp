// SPDX-License-Identifier: GPL-2.0-or-later
#include "presentation/Base64.h"

#include <openssl/evp.h>

#include "base/Check.h"

namespace Application
{
std::string EncodeBase64(std::span<std::uint8_t const> Bytes)
{
    // EVP_EncodeBlock takes an int length and writes a terminating zero.
    CHECK_ARGUMENT(Bytes.size() <= 0x3FFF'FFFFu);
    std::string Text(4 * ((Bytes.size() + 2) / 3) + 1, '\0');
    int const Length = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(Text.data()), Bytes.data(), static_cast<int>(Bytes.size()));
    CHECK_LINE(Length >= 0);
    Text.resize(static_cast<std::size_t>(Length));
    return Text;
}

std::string EncodeBase64Url(std::span<std::uint8_t const> Bytes)
{
    std::string Text = EncodeBase64(Bytes);
    while(!Text.empty() && Text.back() == '=')
        Text.pop_back();
    for(char& Character : Text)
        Character = Character == '+' ? '-' : Character == '/' ? '_' : Character;
    return Text;
}

std::optional<std::vector<std::uint8_t>> DecodeBase64Url(std::string_view Text)
{
    if(Text.size() % 4 == 0)
        while(!Text.empty() && Text.back() == '=' && Text.size() % 4 != 2)
            Text.remove_suffix(1);
    if(Text.size() % 4 == 1)
        return std::nullopt;
    std::vector<std::uint8_t> Bytes;
    Bytes.reserve(Text.size() * 3 / 4);
    std::uint32_t Bits = 0;
    unsigned BitCount = 0;
    for(char Character : Text)
    {
        std::uint32_t Value;
        if(Character >= 'A' && Character <= 'Z')
            Value = static_cast<std::uint32_t>(Character - 'A');
        else if(Character >= 'a' && Character <= 'z')
            Value = static_cast<std::uint32_t>(Character - 'a' + 26);
        else if(Character >= '0' && Character <= '9')
            Value = static_cast<std::uint32_t>(Character - '0' + 52);
        else if(Character == '-')
            Value = 62;
        else if(Character == '_')
            Value = 63;
        else
            return std::nullopt;
        Bits = (Bits << 6 | Value) & 0xFFFFFF;
        BitCount += 6;
        if(BitCount >= 8)
        {
            BitCount -= 8;
            Bytes.push_back(static_cast<std::uint8_t>(Bits >> BitCount));
        }
    }
    return Bytes;
}
} // namespace Application
