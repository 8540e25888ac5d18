// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace Application
{
// Finds the movie fragments (a moof box and the mdat box after it) in the
// body of a media segment as it arrives, so that a run of whole fragments
// can be cut out: the part of a segment is the fragments of its frames, and
// the parts of a segment put together are the segment.
class FragmentCutter
{
public:
    // Appends the next bytes of the segment and reads the boxes they complete.
    void Append(std::span<std::uint8_t const> Bytes);

    // Fragments whose moof and mdat have arrived whole.
    std::size_t CompleteFragments() const noexcept { return m_Complete; }
    // A box header that cannot be (a size below its own header).
    bool IsMalformed() const noexcept { return m_Malformed; }
    // The bytes of fragments [First, First + Count), once they are complete;
    // the last fragment of the segment ends with the last whole box read.
    std::optional<std::vector<std::uint8_t>> Cut(std::size_t First, std::size_t Count) const;

private:
    void Scan();

    std::vector<std::uint8_t> m_Bytes;
    std::size_t m_Offset = 0; // start of the first box not read whole yet
    std::vector<std::size_t> m_FragmentStarts;
    std::size_t m_Complete = 0;
    bool m_AwaitingData = false; // a moof was read, its mdat not yet
    bool m_Malformed = false;
};
} // namespace Application
