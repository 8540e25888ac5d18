// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "base/QueryStringNameValue.h"
#include "presentation/FaultRule.h"
#include "presentation/QueryReads.h"

namespace Application
{
// Reads the fault rules of a manifest request. Each kind is its own query
// key, and one key may carry several rules separated by commas:
//
//   fail=404@video:5,503x1@audio:2-4   delay=800@audio:*   throttle=64000@video:%3
//   hang=@video:7   truncate=50%@video:2   truncate=1000@any:*   corrupt=@video:4
//   gap=@video:3   stale=6000@playlist:*
//
// TRACK is video, audio, any (both media tracks) or playlist; SELECTION is a
// number, a range N-M, "*" or "%K" (every number divisible by K); a third
// field names the one pathway of content steering whose requests the rule
// is about ("fail=503@any:*:a"). In a URL
// "%" is written "%25". Anything else raises FailureCode::FaultRuleInvalid
// with a message that quotes the rule and says what is wrong with it.
class FaultParser
{
public:
    // Rules of one asset: each costs a little on every request of it.
    static constexpr std::size_t MaximalRuleCount = 32;
    // Delays and stale periods: ten minutes.
    static constexpr std::uint32_t MaximalMilliseconds = 600'000;
    static constexpr std::uint32_t MaximalCount = 1'000'000;

    static std::vector<FaultRule> Parse(QueryVector const& Query);
    // The same, noting that every pair of each kind's key was read.
    static std::vector<FaultRule> Parse(QueryReads& Query);
    // One rule of a key, e.g. Parse(FaultKind::Fail, "fail", "404@video:5").
    static FaultRule ParseRule(FaultKind Kind, std::string_view Key, std::string_view Rule);
    // The query key of a kind ("fail", "delay"...).
    static std::string_view KeyOf(FaultKind Kind) noexcept;
};
} // namespace Application
