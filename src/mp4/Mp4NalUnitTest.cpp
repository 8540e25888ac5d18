// SPDX-License-Identifier: GPL-2.0-or-later
#include "mp4/Mp4NalUnit.h"

#include <gtest/gtest.h>

#include "base/HResultError.h"
#include "mp4/Mp4TestBytes.h"

using namespace Mp4;
using Mp4::Test::Hex;

namespace
{
std::vector<std::vector<std::uint8_t>> Copies(std::vector<NalUnitSpan> const& NalUnits)
{
    std::vector<std::vector<std::uint8_t>> Result;
    for(auto const NalUnit : NalUnits)
        Result.emplace_back(NalUnit.begin(), NalUnit.end());
    return Result;
}
} // namespace

TEST(NalUnit, SplitsOnThreeAndFourByteStartCodes)
{
    // Leading bytes before the first start code belong to no NAL unit; the zero
    // in front of 00 00 01 is part of the start code, other zeros are payload.
    auto const Buffer = Hex("ff 00000001 6764001f aa 000001 68ee3c80 00 00 000001 65888400 0000");
    EXPECT_EQ(Copies(SplitAnnexB(Buffer)), (std::vector<std::vector<std::uint8_t>>{Hex("6764001faa"), Hex("68ee3c8000"), Hex("658884000000")}));
    EXPECT_TRUE(SplitAnnexB(Hex("000001")).empty());
    EXPECT_EQ(ToLengthPrefixed(SplitAnnexB(Buffer)), Hex("00000005 6764001faa 00000005 68ee3c8000 00000006 658884000000"));
}

TEST(NalUnit, CodecsStringFromRawSample)
{
    EXPECT_EQ(GetH264CodecsStringFromSample(Hex("00000001 09f0 00000001 6764001facd9 00000001 68ebe3cb")), "avc1.64001f");
    EXPECT_THROW(GetH264CodecsStringFromSample(Hex("00000001 674d00 00000001 68ebe3cb")), HResultError);
    EXPECT_THROW(GetH264CodecsStringFromSample(Hex("00000001 65888400")), HResultError);
}

TEST(NalUnit, RbspDropsEmulationPreventionBytes)
{
    EXPECT_EQ(ExtractRbsp(Hex("42 000003 01 000003 000003 01 0003")), Hex("42 0000 01 0000 0000 01 0003"));
}
