// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <string_view>

namespace MF
{
// How a 64-bit attribute value reads in traces: Packed values hold two 32-bit
// halves (frame size width:height, ratios numerator:denominator).
enum class AttributeFormat
{
    Plain,
    Packed,
};

// The key of an attribute: its platform name ("MF_MT_FRAME_SIZE"). Keys
// compare by name, so a component can define its own keys next to its code
// (see AttributeKeys.h for the shared ones) and traces print them by name.
struct AttributeKey
{
    char const* Name;
    AttributeFormat Format = AttributeFormat::Plain;

    friend bool operator==(AttributeKey const& A, AttributeKey const& B) noexcept
    {
        return std::string_view(A.Name) == std::string_view(B.Name);
    }
};
} // namespace MF
