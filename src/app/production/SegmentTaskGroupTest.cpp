// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/production/SegmentTaskGroup.h"

#include <future>

#include <gtest/gtest.h>

using namespace Application;

namespace
{
// Generous: the tasks wait for each other, not for the clock.
constexpr auto Patience = std::chrono::seconds(60);

// A task that says when it runs and then waits until it is let go.
struct Blocker
{
    std::promise<void> Started;
    std::promise<void> Released;
    std::shared_future<void> Release{Released.get_future().share()};

    std::function<void()> Task()
    {
        return [this] {
            Started.set_value();
            Release.wait();
        };
    }
};
} // namespace

TEST(SegmentTaskGroup, AskedForTasksNeverWaitForReadAheadAndReadAheadWaitsForRoom)
{
    SegmentTaskGroup Group(2);
    Blocker AheadA, AheadB, AheadC, Asked;
    Group.SubmitAhead(&AheadA, AheadA.Task());
    Group.SubmitAhead(&AheadB, AheadB.Task());
    auto StartedA = AheadA.Started.get_future(), StartedB = AheadB.Started.get_future();
    ASSERT_EQ(StartedA.wait_for(Patience), std::future_status::ready);
    ASSERT_EQ(StartedB.wait_for(Patience), std::future_status::ready);
    // Every read-ahead worker's room is taken: a third read-ahead waits,
    // an asked-for task runs at once.
    Group.SubmitAhead(&AheadC, AheadC.Task());
    Group.Submit(Asked.Task());
    auto StartedAsked = Asked.Started.get_future();
    EXPECT_EQ(StartedAsked.wait_for(Patience), std::future_status::ready);
    auto StartedC = AheadC.Started.get_future();
    AheadA.Released.set_value();
    AheadB.Released.set_value();
    // Two tasks of either kind at most: with the asked-for one running,
    // one read-ahead may run again.
    EXPECT_EQ(StartedC.wait_for(Patience), std::future_status::ready);
    AheadC.Released.set_value();
    Asked.Released.set_value();
}

TEST(SegmentTaskGroup, AReadAheadSomeoneWaitsForIsPromotedAmongTheAskedFor)
{
    auto const Metrics = std::make_shared<ServerMetrics>();
    using Gauge = ServerMetrics::Gauge;
    SegmentTaskGroup Group(1, {Metrics, Gauge::VideoTasksWaiting, Gauge::VideoTasksRunning});
    Blocker Asked, Ahead;
    Group.Submit(Asked.Task());
    auto StartedAsked = Asked.Started.get_future();
    ASSERT_EQ(StartedAsked.wait_for(Patience), std::future_status::ready);
    // The one worker is busy: read-ahead has no room and is not counted as
    // waiting, until a request waits for it.
    Group.SubmitAhead(&Ahead, Ahead.Task());
    EXPECT_EQ(Metrics->Get(Gauge::VideoTasksWaiting), 0);
    Group.Promote(&Ahead);
    Group.Promote(&Ahead); // once only
    EXPECT_EQ(Metrics->Get(Gauge::VideoTasksWaiting), 1);
    auto StartedAhead = Ahead.Started.get_future();
    Asked.Released.set_value();
    EXPECT_EQ(StartedAhead.wait_for(Patience), std::future_status::ready);
    EXPECT_EQ(Metrics->Get(Gauge::VideoTasksWaiting), 0);
    Ahead.Released.set_value();
}
