// SPDX-License-Identifier: GPL-2.0-or-later
#include "mp4/MemorySinkByteStream.h"

#include <gtest/gtest.h>

#include <numeric>

#include "mf/MfTestTools.h"

using MF::Testing::Raised;
using Mp4::MemorySinkByteStream;

namespace
{
std::vector<std::vector<std::uint8_t>> Take(MemorySinkByteStream& Stream)
{
    std::vector<std::vector<std::uint8_t>> Result;
    for(auto const& Write : Stream.TakeWrites())
        Result.push_back(*Write);
    return Result;
}

std::vector<std::uint8_t> Bytes(std::size_t Count, std::uint8_t First)
{
    std::vector<std::uint8_t> Value(Count);
    std::iota(Value.begin(), Value.end(), First);
    return Value;
}
} // namespace

TEST(MemorySinkByteStream, KeepsEveryWriteApartAndHandsThemOverOnce)
{
    MemorySinkByteStream Stream;
    auto const& Available = Stream.GetDataAvailableEvent();
    EXPECT_FALSE(Available->IsSet());

    auto const A = Bytes(100, 0);
    auto const B = Bytes(50, 100);
    EXPECT_EQ(Stream.Write(A.data(), 100), 100u);
    EXPECT_EQ(Stream.Write(nullptr, 0), 0u);
    EXPECT_EQ(Stream.Write(B.data(), 50), 50u);
    EXPECT_TRUE(Available->IsSet());

    EXPECT_EQ(Take(Stream), (std::vector<std::vector<std::uint8_t>>{A, {}, B}));
    EXPECT_FALSE(Available->IsSet());
    EXPECT_TRUE(Take(Stream).empty()) << "nothing new";

    // A buffer given away is kept as it is: the bytes are not moved.
    auto C = Bytes(10, 7);
    auto const* const Where = C.data();
    EXPECT_EQ(Stream.WriteOwned(std::move(C)), 10u);
    EXPECT_TRUE(Available->IsSet());
    auto const Second = Stream.TakeWrites();
    ASSERT_EQ(Second.size(), 1u);
    EXPECT_EQ(Second.front()->data(), Where);
    EXPECT_EQ(*Second.front(), Bytes(10, 7));
    EXPECT_EQ(Raised([&] { Stream.Write(nullptr, 1); }), E_INVALIDARG);
}

