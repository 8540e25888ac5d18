#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

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
} // namespace Fuzz
