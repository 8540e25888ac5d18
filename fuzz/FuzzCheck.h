// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "base/HResultError.h"

// libFuzzer's entry point, which every target defines.
extern "C" int LLVMFuzzerTestOneInput(std::uint8_t const* Data, std::size_t Size);

namespace Fuzz
{
inline std::string_view Text(std::uint8_t const* Data, std::size_t Size)
{
    return {reinterpret_cast<char const*>(Data), Size};
}

// A property every input must keep: its failure is a finding like a crash.
inline void Expect(bool Condition, char const* What)
{
    if(Condition)
        return;
    std::fprintf(stderr, "Property broken: %s\n", What);
    std::abort();
}

// Runs Body, which may fail with a status, but only with a failure status:
// anything else thrown is a finding.
template <typename BodyT>
void Failing(BodyT&& Body)
{
    try
    {
        Body();
    }
    catch(HResultError const& Error)
    {
        Expect(Failed(Error.Code()), "a failure carries a failure status");
    }
}
} // namespace Fuzz
