// SPDX-License-Identifier: GPL-2.0-or-later
// FLAC frame headers of fixed-block-size frames: the number a frame
// carries, and renumbering it to its place on the absolute block grid. A
// frame that is not one may fail with a status; a renumbered frame reads
// back with its new number.
#include "FuzzCheck.h"

#include <vector>

#include "base/HResultError.h"
#include "media/FlacFrameHeader.h"

using namespace Application;

extern "C" int LLVMFuzzerTestOneInput(std::uint8_t const* Data, std::size_t Size)
{
    if(Size < 4)
        return 0;
    // The first four bytes choose the new number; the rest is the frame.
    std::uint64_t const Number = (std::uint64_t{Data[0]} << 24 | std::uint64_t{Data[1]} << 16 | std::uint64_t{Data[2]} << 8 | Data[3]) &
                                 FlacFrameHeader::MaximalFrameNumber;
    std::vector<std::uint8_t> Frame(Data + 4, Data + Size);
    Fuzz::Failing([&] { FlacFrameHeader::FrameNumber(Frame); });
    Fuzz::Failing([&] {
        FlacFrameHeader::Renumber(Frame, Number);
        Fuzz::Expect(FlacFrameHeader::FrameNumber(Frame) == Number, "a renumbered frame carries its new number");
        Fuzz::Expect(FlacFrameHeader::Crc16(Frame.data(), Frame.size() - 2) == (Frame[Frame.size() - 2] << 8 | Frame.back()),
                     "the frame's checksum is renewed");
    });
    return 0;
}
