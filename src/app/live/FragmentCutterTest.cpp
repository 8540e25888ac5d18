// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/live/FragmentCutter.h"

#include <gtest/gtest.h>

#include <string_view>

using namespace Application;

namespace
{
// A box of Type with Payload bytes (each Fill), with a 64-bit size when Large.
std::vector<std::uint8_t> Box(std::string_view Type, std::size_t Payload, std::uint8_t Fill, bool Large = false)
{
    std::size_t const Size = (Large ? 16 : 8) + Payload;
    std::vector<std::uint8_t> Bytes;
    auto const Put = [&](std::uint64_t Value, int Count) {
        for(int Shift = (Count - 1) * 8; Shift >= 0; Shift -= 8)
            Bytes.push_back(static_cast<std::uint8_t>(Value >> Shift));
    };
    Put(Large ? 1 : Size, 4);
    for(char Character : Type)
        Bytes.push_back(static_cast<std::uint8_t>(Character));
    if(Large)
        Put(Size, 8);
    Bytes.resize(Size, Fill);
    return Bytes;
}

std::vector<std::uint8_t> Joined(std::initializer_list<std::vector<std::uint8_t>> Boxes)
{
    std::vector<std::uint8_t> Bytes;
    for(auto const& Part : Boxes)
        for(auto Byte : Part)
            Bytes.push_back(Byte);
    return Bytes;
}
} // namespace

TEST(FragmentCutterTest, CutsWholeFragmentsAsTheyArrive)
{
    // Three fragments; the second's moof carries a 64-bit size.
    auto const Segment = Joined({Box("moof", 20, 1), Box("mdat", 30, 2), Box("moof", 5, 3, true), Box("mdat", 7, 4), Box("moof", 9, 5), Box("mdat", 0, 6)});
    FragmentCutter Cutter;
    std::vector<std::size_t> CompleteAfter;
    for(std::size_t Offset = 0; Offset < Segment.size(); ++Offset)
    {
        Cutter.Append(std::span(Segment).subspan(Offset, 1));
        CompleteAfter.push_back(Cutter.CompleteFragments());
    }
    // A fragment counts once the last byte of its mdat has arrived, not before.
    EXPECT_EQ(CompleteAfter[28 + 38 - 2], 0u);
    EXPECT_EQ(CompleteAfter[28 + 38 - 1], 1u);
    EXPECT_EQ(CompleteAfter[Segment.size() - 2], 2u);
    EXPECT_EQ(CompleteAfter.back(), 3u);
    EXPECT_FALSE(Cutter.IsMalformed());

    // Parts put together are the segment.
    auto const First = Cutter.Cut(0, 1);
    auto const Rest = Cutter.Cut(1, 2);
    ASSERT_TRUE(First && Rest);
    auto Whole = *First;
    for(auto Byte : *Rest)
        Whole.push_back(Byte);
    EXPECT_EQ(Whole, Segment);
    EXPECT_EQ(*Cutter.Cut(0, 3), Segment);
    EXPECT_FALSE(Cutter.Cut(2, 2).has_value());
    EXPECT_FALSE(Cutter.Cut(0, 0).has_value());
}

TEST(FragmentCutterTest, WaitsForTheNextFragmentOnlyWhereItMust)
{
    FragmentCutter Cutter;
    auto const Head = Joined({Box("moof", 4, 1), Box("mdat", 4, 2)});
    Cutter.Append(Head);
    // The first fragment is whole before anything of the second arrives.
    ASSERT_TRUE(Cutter.Cut(0, 1).has_value());
    EXPECT_EQ(*Cutter.Cut(0, 1), Head);
    auto const Next = Box("moof", 4, 3);
    Cutter.Append(std::span(Next).first(6));
    EXPECT_EQ(*Cutter.Cut(0, 1), Head);
    EXPECT_FALSE(Cutter.Cut(1, 1).has_value());
}

TEST(FragmentCutterTest, RefusesImpossibleSizes)
{
    FragmentCutter Cutter;
    auto Bytes = Box("moof", 0, 0);
    Bytes[3] = 4; // a size smaller than the header
    Cutter.Append(Bytes);
    EXPECT_TRUE(Cutter.IsMalformed());
    EXPECT_EQ(Cutter.CompleteFragments(), 0u);
}
