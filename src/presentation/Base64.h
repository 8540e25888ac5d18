// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <span>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace Application
{
// Standard base64 (RFC 4648 alphabet, "=" fill, no line breaks).
std::string EncodeBase64(std::span<std::uint8_t const> Bytes);

// base64url (RFC 4648 section 5) without "=" fill, as W3C Clear Key licences
// write key IDs and keys.
std::string EncodeBase64Url(std::span<std::uint8_t const> Bytes);
// base64url with or without "=" fill; nothing for any other character, a
// misplaced fill or a length no encoding has.
std::optional<std::vector<std::uint8_t>> DecodeBase64Url(std::string_view Text);
} // namespace Application
