// SPDX-License-Identifier: GPL-2.0-or-later
#include "mp4/Mp4NalUnit.h"

#include <algorithm>

#include "base/Check.h"
#include "base/StringFormat.h"

namespace Mp4
{
namespace
{
constexpr std::uint8_t H264SequenceParameterSetType = 7;
} // namespace

std::vector<NalUnitSpan> SplitAnnexB(std::span<std::uint8_t const> Buffer)
{
    std::vector<NalUnitSpan> NalUnits;
    std::size_t PayloadStart = 0;
    bool InNalUnit = false;
    std::size_t Index = 0;
    while(Index + 4 <= Buffer.size())
    {
        if(Buffer[Index] != 0 || Buffer[Index + 1] != 0 || Buffer[Index + 2] != 1)
        {
            ++Index;
            continue;
        }
        // A zero right before 00 00 01 belongs to the (4-byte) start code.
        std::size_t const StartCodeStart = Index > 0 && Buffer[Index - 1] == 0 ? Index - 1 : Index;
        if(InNalUnit && StartCodeStart >= PayloadStart)
            NalUnits.push_back(Buffer.subspan(PayloadStart, StartCodeStart - PayloadStart));
        PayloadStart = Index + 3;
        InNalUnit = true;
        Index += 3;
    }
    if(InNalUnit)
        NalUnits.push_back(Buffer.subspan(PayloadStart));
    return NalUnits;
}

std::vector<std::uint8_t> ToLengthPrefixed(std::vector<NalUnitSpan> const& NalUnits)
{
    std::size_t Size = 0;
    for(auto const NalUnit : NalUnits)
        Size += 4 + NalUnit.size();
    std::vector<std::uint8_t> Output;
    Output.reserve(Size);
    for(auto const NalUnit : NalUnits)
    {
        CHECK_LINE(NalUnit.size() <= 0xFFFFFFFFu);
        auto const Length = static_cast<std::uint32_t>(NalUnit.size());
        Output.insert(Output.end(), {static_cast<std::uint8_t>(Length >> 24), static_cast<std::uint8_t>(Length >> 16), static_cast<std::uint8_t>(Length >> 8), static_cast<std::uint8_t>(Length)});
        Output.insert(Output.end(), NalUnit.begin(), NalUnit.end());
    }
    return Output;
}

std::uint8_t GetH264NalUnitType(NalUnitSpan NalUnit) noexcept
{
    return NalUnit.empty() ? 0 : NalUnit[0] & 0x1F;
}

std::uint8_t GetHevcNalUnitType(NalUnitSpan NalUnit) noexcept
{
    return NalUnit.size() < 2 ? 0 : (NalUnit[0] >> 1) & 0x3F;
}

std::string FormatAvcCodecsString(NalUnitSpan SequenceParameterSet)
{
    CHECK_LINE(SequenceParameterSet.size() >= 4);
    return StringFormat("avc1.%02x%02x%02x", SequenceParameterSet[1], SequenceParameterSet[2], SequenceParameterSet[3]);
}

std::string GetH264CodecsStringFromSample(std::span<std::uint8_t const> Sample)
{
    auto const NalUnits = SplitAnnexB(Sample);
    auto const SequenceParameterSet = std::find_if(NalUnits.begin(), NalUnits.end(), [](auto NalUnit) { return GetH264NalUnitType(NalUnit) == H264SequenceParameterSetType; });
    CHECK_LINE(SequenceParameterSet != NalUnits.end());
    return FormatAvcCodecsString(*SequenceParameterSet);
}

std::vector<std::uint8_t> ExtractRbsp(NalUnitSpan NalUnit)
{
    std::vector<std::uint8_t> Rbsp;
    Rbsp.reserve(NalUnit.size());
    std::size_t ZeroCount = 0;
    for(auto const Byte : NalUnit)
    {
        if(ZeroCount >= 2 && Byte == 3)
        {
            ZeroCount = 0;
            continue;
        }
        ZeroCount = Byte == 0 ? ZeroCount + 1 : 0;
        Rbsp.push_back(Byte);
    }
    return Rbsp;
}
} // namespace Mp4
