// SPDX-License-Identifier: GPL-2.0-or-later
#include "mp4/MemorySinkByteStream.h"

#include <gtest/gtest.h>

#include <numeric>

#include "mf/MfTestTools.h"

using MF::Testing::Raised;
using Mp4::MemorySinkByteStream;

namespace
{
struct Taken
{
    bool Called = false;
    std::vector<std::uint8_t> Data;
    std::vector<std::size_t> WriteSizes;
};

Taken Take(MemorySinkByteStream& Stream)
{
    Taken Result;
    Stream.TakeData([&](std::vector<std::uint8_t>& Data, std::vector<std::size_t>& WriteSizes) {
        Result.Called = true;
        Result.Data = Data;
        Result.WriteSizes = WriteSizes;
    });
    return Result;
}

std::vector<std::uint8_t> Bytes(std::size_t Count, std::uint8_t First)
{
    std::vector<std::uint8_t> Value(Count);
    std::iota(Value.begin(), Value.end(), First);
    return Value;
}
} // namespace

TEST(MemorySinkByteStream, KeepsWritesWithTheirSizesAndHandsThemOverOnce)
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

    auto const First = Take(Stream);
    ASSERT_TRUE(First.Called);
    EXPECT_EQ(First.Data, Bytes(150, 0));
    EXPECT_EQ(First.WriteSizes, (std::vector<std::size_t>{100, 0, 50}));
    EXPECT_FALSE(Available->IsSet());

    EXPECT_FALSE(Take(Stream).Called) << "nothing new, no call";
    EXPECT_FALSE(Available->IsSet());

    auto const C = Bytes(10, 7);
    Stream.Write(C.data(), 10);
    EXPECT_TRUE(Available->IsSet());
    auto const Second = Take(Stream);
    EXPECT_EQ(Second.Data, C);
    EXPECT_EQ(Second.WriteSizes, std::vector<std::size_t>{10});
    EXPECT_EQ(Raised([&] { Stream.Write(nullptr, 1); }), E_INVALIDARG);
}

