#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/AsyncSocket.h"
#include "platform/EventLoop.h"
#include "platform/EventLoopWait.h"
#include "platform/MessageWindow.h"
#include "tests/socket/SocketTestSupport.h"

namespace vorlane {
namespace {

class EventLayer : public ::testing::Test {
protected:
    void SetUp() override { test::EnsureApplication(); }
};

TEST_F(EventLayer, SendMessage_RunsTheTargetsHandlerAndReturnsItsResult)
{
    std::vector<uint32_t> seen;
    const WindowHandle window = AllocateWindow([&](uint32_t message, uintptr_t wParam, intptr_t lParam) {
        seen.push_back(message);
        return static_cast<intptr_t>(wParam) + lParam;
    });
    ASSERT_NE(window, 0u);
    EXPECT_EQ(SendMessage(window, 2000, 40, 2), 42);
    EXPECT_EQ(seen, std::vector<uint32_t>{2000});

    DestroyWindow(window);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(SendMessage(window, 2000, 1, 1), 0);
    EXPECT_EQ(seen.size(), 1u);
}

TEST_F(EventLayer, PostMessage_ArrivesInOrderOnTheLoopAndNotForADestroyedTarget)
{
    std::vector<intptr_t> seen;
    auto handler = [&](uint32_t, uintptr_t, intptr_t lParam) {
        seen.push_back(lParam);
        return intptr_t{0};
    };
    const WindowHandle first = AllocateWindow(handler);
    const WindowHandle second = AllocateWindow(handler);
    EXPECT_NE(first, second);
    EXPECT_TRUE(PostMessage(first, 3000, 0, 1));
    EXPECT_TRUE(PostMessage(second, 3000, 0, 2));
    EXPECT_TRUE(PostMessage(first, 3000, 0, 3));
    EXPECT_TRUE(seen.empty()); // queued, not sent
    DestroyWindow(second);
    ASSERT_TRUE(test::WaitUntil([&] { return seen.size() >= 2; }));
    ProcessMessages();
    EXPECT_EQ(seen, (std::vector<intptr_t>{1, 3}));
    EXPECT_FALSE(PostMessage(second, 3000, 0, 4));
    DestroyWindow(first);
}

TEST_F(EventLayer, PostMessage_FromAnotherThreadIsHandledOnTheLoopThread)
{
    const auto loopThread = std::this_thread::get_id();
    std::thread::id handledOn;
    const WindowHandle window = AllocateWindow([&](uint32_t, uintptr_t, intptr_t) {
        handledOn = std::this_thread::get_id();
        return intptr_t{0};
    });
    std::thread([window] { PostMessage(window, 3001, 0, 0); }).join();
    ASSERT_TRUE(test::WaitUntil([&] { return handledOn != std::thread::id(); }));
    EXPECT_EQ(handledOn, loopThread);
    DestroyWindow(window);
}

TEST_F(EventLayer, CopyData_CarriesIdentifierSenderAndBytes)
{
    uint32_t id = 0;
    uintptr_t sender = 0;
    std::string bytes;
    const WindowHandle target = AllocateWindow([&](uint32_t message, uintptr_t wParam, intptr_t lParam) {
        if (message == WM_COPYDATA) {
            const CopyDataStruct* data = CopyDataOf(lParam);
            id = data->dwData;
            sender = wParam;
            bytes.assign(static_cast<const char*>(data->lpData), data->cbData);
        }
        return intptr_t{7};
    });
    const std::string text("SEND SSTP/1.0\r\n\0tail", 21);
    EXPECT_EQ(SendCopyData(target, 99, 9801, text), 7);
    EXPECT_EQ(id, 9801u);
    EXPECT_EQ(sender, 99u);
    EXPECT_EQ(bytes, text);
    DestroyWindow(target);
}

TEST_F(EventLayer, Timer_TicksUntilKilledAndAnExceptionGoesToTheCentralHandler)
{
    std::vector<std::string> central;
    test::CollectCentralErrors(central);
    int ticks = 0;
    const WindowHandle window = AllocateWindow([&](uint32_t message, uintptr_t wParam, intptr_t) -> intptr_t {
        if (message == WM_TIMER && wParam == 5 && ++ticks == 1)
            throw std::runtime_error("tick failed");
        return 0;
    });
    ASSERT_TRUE(SetTimer(window, 5, 5));
    ASSERT_TRUE(test::WaitUntil([&] { return ticks >= 3; }));
    EXPECT_EQ(central, std::vector<std::string>{"tick failed"});
    KillTimer(window, 5);
    KillTimer(window, 5); // a timer that does not run is no error
    const int stoppedAt = ticks;
    PostMessage(window, 3002, 0, 0);
    ProcessMessages();
    EXPECT_EQ(ticks, stoppedAt);
    EXPECT_FALSE(SetTimer(window, 5, 0));
    DestroyWindow(window);
    EXPECT_FALSE(SetTimer(window, 5, 10));
    SetExceptionHandler(nullptr);
}

TEST_F(EventLayer, Timer_CannotBeHadOnAThreadWithoutTheLoop)
{
    const WindowHandle window = AllocateWindow([](uint32_t, uintptr_t, intptr_t) { return intptr_t{0}; });
    bool started = true;
    std::thread([&] { started = SetTimer(window, 1, 10); }).join();
    EXPECT_FALSE(started);
    DestroyWindow(window);
}

TEST_F(EventLayer, EventWait_EndsAtItsConditionItsDeadlineOrWhenItsOwnerIsFreed)
{
    int turns = 0;
    EXPECT_TRUE(EventWait::Within(std::chrono::seconds(20)).Until([&] { return ++turns == 3; }, 1));
    EXPECT_EQ(turns, 3);

    // Nothing happens: the deadline ends the wait, though a turn may sleep longer.
    EXPECT_FALSE(EventWait::Within(std::chrono::milliseconds(30)).Until([] { return false; }, 1000));

    // A message handled during the wait frees the owner: the wait ends without the condition.
    auto owner = std::make_shared<const int>(0);
    auto wait = EventWait::Of(owner);
    const WindowHandle window = AllocateWindow([&](uint32_t, uintptr_t, intptr_t) {
        owner.reset();
        return intptr_t{0};
    });
    PostMessage(window, 3003, 0, 0);
    EXPECT_FALSE(wait.Until([] { return false; }, 1000));
    EXPECT_TRUE(wait.OwnerFreed());
    DestroyWindow(window);
}

TEST_F(EventLayer, HostLookup_AnEntryTakesOnlyTheLatestLookupsResult)
{
    // A lookup abandoned by a time-out still ends, possibly after the next one on the same entry.
    HostEntry entry;
    uint32_t first = 0;
    bool firstEnded = false;
    bool secondEnded = false;
    std::vector<std::array<uint8_t, 4>> whenTheFirstEnded;
    const WindowHandle window = AllocateWindow([&](uint32_t, uintptr_t task, intptr_t lParam) {
        EXPECT_EQ(NoticeError(lParam), 0);
        if (task == first) {
            firstEnded = true;
            whenTheFirstEnded = entry.addresses;
        } else {
            secondEnded = true;
        }
        return intptr_t{0};
    });
    first = AsyncGetHostByName(window, 1126, "127.0.0.3", &entry);
    const uint32_t second = AsyncGetHostByName(window, 1126, "127.0.0.4", &entry);
    EXPECT_NE(first, second);
    ASSERT_TRUE(test::WaitUntil([&] { return firstEnded && secondEnded; }));
    const std::vector<std::array<uint8_t, 4>> latest{{127, 0, 0, 4}};
    EXPECT_TRUE(whenTheFirstEnded.empty() || whenTheFirstEnded == latest);
    EXPECT_EQ(entry.addresses, latest);
    DestroyWindow(window);
}

} // namespace
} // namespace vorlane
