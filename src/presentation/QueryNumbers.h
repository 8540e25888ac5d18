// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "base/MediaTime.h"
#include "base/QueryStringNameValue.h"

namespace Application
{
// Time keys of the query are limited so that every sum and product the
// timeline forms with them (and with the current time) stays inside 64 bits.
constexpr double MaximalTimeSeconds = 1'000'000'000.0;

// Signed 32-bit decimal conversion as clients of the server know it: leading
// white space and one sign are accepted, the conversion stops at the first
// non-digit, text without digits gives 0 and values beyond the range saturate.
// Converted receives the number of characters used, 0 when there were no digits.
std::int32_t ConvertInteger(std::string_view Text, std::size_t* Converted = nullptr) noexcept;

// Strict decimal: one or more digits and nothing else (no blank, sign,
// exponent or fraction), at most Maximal; nothing for any other text. For
// numbers that name things (segments, parts), where a lenient reading would
// let "1e3" or "-1" name a thing the client did not mean.
std::optional<std::uint64_t> ParseDecimal(std::string_view Text, std::uint64_t Maximal) noexcept;

// Decimal seconds (fraction and exponent allowed, "C" locale) truncated toward
// zero to 100-ns units. A result that underflows to 0, is not finite or lies
// beyond MaximalTimeSeconds raises E_INVALIDARG.
std::int64_t ConvertTime(std::string_view Text);

// The first value of Name converted, or nothing when the name is absent.
std::optional<std::int32_t> QueryInteger(QueryVector const& Query, std::string_view Name);
std::optional<std::int64_t> QueryTime(QueryVector const& Query, std::string_view Name);
bool QueryFlag(QueryVector const& Query, std::string_view Name);
} // namespace Application
