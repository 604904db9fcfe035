#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "platform/EventLoop.h"
#include "platform/Exceptions.h"
#include "socket/ThreadTimer.h"
#include "tests/ErrorOf.h"
#include "tests/socket/SocketTestSupport.h"

namespace vorlane {
namespace {

class ThreadTimer : public ::testing::Test {
protected:
    void SetUp() override { test::EnsureApplication(); }
    void TearDown() override { SetExceptionHandler(nullptr); }
};

TEST_F(ThreadTimer, RunsOnlyWithEnabledIntervalAndOnTimer)
{
    TThreadTimer timer;
    EXPECT_TRUE(timer.Enabled());
    EXPECT_EQ(timer.Interval(), 1000u);
    EXPECT_FALSE(timer.Running()); // no OnTimer yet

    int ticks = 0;
    timer.SetInterval(5);
    timer.SetEnabled(false);
    timer.SetOnTimer([&](TComponent* sender) {
        EXPECT_EQ(sender, &timer);
        ++ticks;
    });
    EXPECT_FALSE(timer.Running());
    timer.SetEnabled(true);
    EXPECT_TRUE(timer.Running());
    ASSERT_TRUE(test::WaitUntil([&] { return ticks >= 2; }));

    timer.SetOnTimer(nullptr);
    EXPECT_FALSE(timer.Running());

    // The whole unsigned range is a period: the longest ones run with the longest the platform has.
    timer.SetOnTimer([](TComponent*) {});
    EXPECT_NO_THROW(timer.SetInterval(0xFFFFFFFFu));
    EXPECT_TRUE(timer.Running());
}

TEST_F(ThreadTimer, IntervalZeroStopsAndANewIntervalStartsAgain)
{
    TThreadTimer timer;
    int ticks = 0;
    timer.SetOnTimer([&](TComponent*) { ++ticks; });
    timer.SetInterval(5);
    ASSERT_TRUE(test::WaitUntil([&] { return ticks >= 1; }));
    timer.SetInterval(0);
    EXPECT_FALSE(timer.Running());
    const int stoppedAt = ticks;
    ProcessMessages();
    EXPECT_EQ(ticks, stoppedAt);
    timer.SetInterval(5);
    EXPECT_TRUE(timer.Running());
    ASSERT_TRUE(test::WaitUntil([&] { return ticks > stoppedAt; }));
}

TEST_F(ThreadTimer, SettingTheCurrentValueDoesNotRestartThePeriod)
{
    // Were every SetEnabled(true) and SetInterval(same) a restart, a 30 ms timer re-armed on every turn
    // of the loop would never tick.
    TThreadTimer timer;
    int ticks = 0;
    timer.SetInterval(30);
    timer.SetOnTimer([&](TComponent*) { ++ticks; });
    EXPECT_TRUE(test::WaitUntil([&] {
        timer.SetEnabled(true);
        timer.SetInterval(30);
        return ticks >= 3;
    }));
}

TEST_F(ThreadTimer, ARaisingHandlerReachesTheCentralHandlerAndTicksGoOn)
{
    std::vector<std::string> central;
    test::CollectCentralErrors(central);
    TThreadTimer timer;
    timer.SetInterval(5);
    timer.SetOnTimer([&](TComponent*) { throw Exception("tick " + std::to_string(central.size())); });
    ASSERT_TRUE(test::WaitUntil([&] { return central.size() >= 3; }));
    EXPECT_EQ(central[0], "tick 0");
    EXPECT_EQ(central[2], "tick 2");
}

TEST_F(ThreadTimer, NoTimerWhereNoTimerCanBeHad)
{
    std::string message;
    std::thread([&] {
        TThreadTimer timer;
        message = test::ErrorOf([&] { timer.SetOnTimer([](TComponent*) {}); });
    }).join();
    EXPECT_EQ(message, "No Timer");
}

TEST_F(ThreadTimer, OwnedTimerGoesWithItsOwnerAndStopsForGood)
{
    // A handler may free the timer that runs it.
    bool freed = false;
    auto* self = new TThreadTimer;
    self->SetInterval(5);
    self->SetOnTimer([&freed, keep = std::string(64, 'k')](TComponent* sender) {
        delete sender;
        freed = !keep.empty(); // the handler's own state outlives the timer for the rest of the call
    });
    ASSERT_TRUE(test::WaitUntil([&] { return freed; }));

    int ticks = 0;
    {
        TComponent owner;
        auto* timer = new TThreadTimer(&owner);
        timer->SetInterval(5);
        timer->SetOnTimer([&](TComponent*) { ++ticks; });
        ASSERT_TRUE(test::WaitUntil([&] { return ticks >= 1; }));
    }
    const int stoppedAt = ticks;
    ProcessMessages();
    EXPECT_EQ(ticks, stoppedAt);
}

} // namespace
} // namespace vorlane
