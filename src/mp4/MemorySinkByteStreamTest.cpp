// SPDX-License-Identifier: GPL-2.0-or-later
#include "mp4/MemorySinkByteStream.h"

#include <gtest/gtest.h>

#include <numeric>

#include "mf/AsyncCallback.h"
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
    EXPECT_EQ(Stream.GetCapabilities(), 0x802u);
    EXPECT_FALSE(Available->IsSet());

    auto const A = Bytes(100, 0);
    auto const B = Bytes(50, 100);
    EXPECT_EQ(Stream.Write(A.data(), 100), 100u);
    EXPECT_EQ(Stream.Write(nullptr, 0), 0u);
    EXPECT_EQ(Stream.Write(B.data(), 50), 50u);
    EXPECT_TRUE(Available->IsSet());
    EXPECT_EQ(Stream.GetCurrentPosition(), 150u);

    auto const First = Take(Stream);
    ASSERT_TRUE(First.Called);
    EXPECT_EQ(First.Data, Bytes(150, 0));
    EXPECT_EQ(First.WriteSizes, (std::vector<std::size_t>{100, 0, 50}));
    EXPECT_EQ(Stream.GetCurrentPosition(), 150u) << "taking does not rewind";
    EXPECT_FALSE(Available->IsSet());

    EXPECT_FALSE(Take(Stream).Called) << "nothing new, no call";
    EXPECT_FALSE(Available->IsSet());

    auto const C = Bytes(10, 7);
    Stream.Write(C.data(), 10);
    EXPECT_TRUE(Available->IsSet());
    auto const Second = Take(Stream);
    EXPECT_EQ(Second.Data, C);
    EXPECT_EQ(Second.WriteSizes, std::vector<std::size_t>{10});
    EXPECT_EQ(Stream.GetCurrentPosition(), 160u);
    EXPECT_EQ(Raised([&] { Stream.Write(nullptr, 1); }), E_INVALIDARG);
}

TEST(MemorySinkByteStream, BeginWriteCompletesBeforeItReturns)
{
    MemorySinkByteStream Stream;
    std::uint32_t Written = 0;
    std::shared_ptr<MF::AsyncResult> Completed;
    auto const Callback = std::make_shared<MF::AsyncCallback>([&](std::shared_ptr<MF::AsyncResult> const& Result) {
        Completed = Result;
        Written = Stream.EndWrite(Result);
    });
    auto const Data = Bytes(33, 1);
    Stream.BeginWrite(Data.data(), 33, Callback, nullptr);
    EXPECT_EQ(Written, 33u);
    EXPECT_EQ(Stream.EndWrite(Completed), 33u);
    EXPECT_EQ(Take(Stream).Data, Data);
    EXPECT_EQ(Raised([&] { Stream.EndWrite(nullptr); }), E_INVALIDARG);
}

TEST(MemorySinkByteStream, RefusesWhatAWriteOnlyStreamCannotDo)
{
    MemorySinkByteStream Stream;
    std::uint8_t Buffer[4];
    EXPECT_EQ(Raised([&] { Stream.GetLength(); }), E_NOTIMPL);
    EXPECT_EQ(Raised([&] { Stream.SetLength(1); }), E_NOTIMPL);
    EXPECT_EQ(Raised([&] { Stream.SetCurrentPosition(1); }), E_NOTIMPL);
    EXPECT_EQ(Raised([&] { Stream.IsEndOfStream(); }), E_NOTIMPL);
    EXPECT_EQ(Raised([&] { Stream.Read(Buffer, 4); }), E_NOTIMPL);
    EXPECT_EQ(Raised([&] { Stream.Seek(MF::SeekOrigin::Begin, 0, 0); }), E_NOTIMPL);
    EXPECT_EQ(Raised([&] { Stream.Flush(); Stream.Close(); }), S_OK);
}
