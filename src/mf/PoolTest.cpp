// SPDX-License-Identifier: GPL-2.0-or-later
#include "mf/PoolT.h"

#include <gtest/gtest.h>

#include <chrono>

#include "mf/MfTestTools.h"

using MF::Testing::Raised;

namespace
{
// An element that knows its place in the pool's creation order.
struct Numbered
{
    explicit Numbered(int Value) : Number(Value) {}
    int Number;
};

constexpr std::chrono::milliseconds NoWait{0};
} // namespace

TEST(Pool, StaticPoolOfTwoHandsOutTwoAndSignalsOnceWhenOneReturns)
{
    int Created = 0;
    Pool::PoolT<Numbered, Pool::Strategy::StaticStrategy> Elements([&] { return std::make_unique<Numbered>(Created++); });
    Elements.Initialize(2);
    auto A = Elements.Acquire();
    auto B = Elements.Acquire();
    ASSERT_TRUE(A && B);
    EXPECT_EQ(A->Number, 0);
    EXPECT_EQ(B->Number, 1);
    EXPECT_EQ(Elements.Acquire(), nullptr);
    auto const Event = Elements.GetAvailabilityEvent();
    EXPECT_FALSE(Event->IsSet());

    A.reset();
    EXPECT_TRUE(Event->Wait(NoWait));
    EXPECT_FALSE(Event->Wait(NoWait)) << "one return releases one waiter";
    auto Again = Elements.Acquire();
    ASSERT_TRUE(Again);
    EXPECT_EQ(Again->Number, 0);
    EXPECT_EQ(Elements.GetSize(), 2u);
}

TEST(Pool, InitializationIsCheckedAndElementsMayOutliveThePool)
{
    Pool::PoolT<int, Pool::Strategy::StaticStrategy> Empty;
    EXPECT_EQ(Raised([&] { Empty.Initialize(0); }), E_UNEXPECTED);
    EXPECT_EQ(Raised([&] { Empty.Acquire(); }), E_UNEXPECTED) << "no element before Initialize";

    std::shared_ptr<int> Survivor;
    {
        Pool::PoolT<int, Pool::Strategy::StaticStrategy> Elements;
        Elements.Initialize(2);
        EXPECT_EQ(Raised([&] { Elements.Initialize(2); }), E_UNEXPECTED);
        Survivor = Elements.Acquire();
        *Survivor = 7;
    }
    EXPECT_EQ(*Survivor, 7);
    Survivor.reset();
}
