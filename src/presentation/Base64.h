#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace Application
{
// Standard base64 (RFC 4648 alphabet, "=" fill, no line breaks).
std::string EncodeBase64(std::span<std::uint8_t const> Bytes);
} // namespace Application
