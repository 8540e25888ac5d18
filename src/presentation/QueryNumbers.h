// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "base/MediaTime.h"
#include "base/QueryStringNameValue.h"
#include "presentation/QueryOption.h"

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

// Lookups of a request's query through OptionTable: a name without a row
// (of the kind the lookup reads) raises E_UNEXPECTED, naming it. A value
// the row does not take is refused with the row's Failure code and a
// message naming the option and what it takes (QueryOption::Refuse). All
// take the first pair of the option's name or alias.
QueryStringNameValue const* FindOption(QueryVector const& Query, QueryOption const& Option);
QueryStringNameValue const* FindOption(QueryVector const& Query, std::string_view Name);
bool QueryFlag(QueryVector const& Query, std::string_view Name);
// An integer row's value: converted leniently (ConvertInteger) or strictly
// (digits only, a '-' first when the row's minimum is negative) as the row
// says, then within its minimum and maximum.
std::optional<std::int64_t> QueryInteger(QueryVector const& Query, QueryOption const& Option);
std::optional<std::int64_t> QueryInteger(QueryVector const& Query, std::string_view Name);
// A time row's value (ConvertTime) in 100-ns units, within its bounds.
std::optional<std::int64_t> QueryTime(QueryVector const& Query, QueryOption const& Option);
std::optional<std::int64_t> QueryTime(QueryVector const& Query, std::string_view Name);
// A choice row's value, one of its choices; an empty value takes the row's
// default when it has one.
std::optional<std::string_view> QueryChoice(QueryVector const& Query, QueryOption const& Option);
// A hex row's bytes, exactly its byte count (Configuration::ParseBase16's
// statuses: 0x80FF01A0, 0x80FF01A1, 0x80FF01A8).
std::optional<std::vector<std::uint8_t>> QueryHex(QueryVector const& Query, QueryOption const& Option);
} // namespace Application
