// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace Application
{
// Cuts the bytes of a media segment, as they arrive in pieces of any size,
// into its movie fragments: each one a 'moof' box and the boxes after it up
// to the next 'moof' (its 'mdat'). Boxes before the first 'moof' go with the
// first fragment. Only whole box headers are read; a box whose header says
// it runs to the end of the stream (size 0) ends the cutting, and what
// follows it comes out whole from Finish.
class FragmentSplitter
{
public:
    // The fragments that are complete with Bytes added: a fragment is
    // complete once the next one's 'moof' header has arrived.
    std::vector<std::string> Append(std::string_view Bytes);
    // The end of the segment: what is left, as the last fragment (none when
    // nothing is left).
    std::vector<std::string> Finish();

private:
    std::string m_Pending; // the current fragment and what follows it
    std::size_t m_Scan = 0;  // the next box header within m_Pending
    bool m_HasFragment = false;
    bool m_ToEnd = false;
};
} // namespace Application
