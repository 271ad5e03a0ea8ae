#include "console/core/event_loop.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

namespace quarn::console {
namespace {

using namespace std::chrono_literals;

TEST(EventLoopTest, SendRunsOnTheLoopThreadAndWaitsForIt) {
    EventLoop loop;
    bool inline_ = false;
    loop.Send([&] { inline_ = true; });  // from the loop thread itself: at once
    EXPECT_TRUE(inline_);

    std::thread::id ranOn;
    std::atomic<bool> sendReturned{false};
    std::thread sender([&] {
        loop.Send([&] { ranOn = std::this_thread::get_id(); });
        sendReturned = true;
    });
    std::this_thread::sleep_for(30ms);
    EXPECT_FALSE(sendReturned.load());  // nobody runs the loop yet
    EXPECT_TRUE(loop.RunUntil([&] { return sendReturned.load(); }, 5s));
    sender.join();
    EXPECT_EQ(ranOn, std::this_thread::get_id());
}

TEST(EventLoopTest, PostedCallsRunInOrder) {
    EventLoop loop;
    std::vector<int> order;
    std::thread poster([&] {
        for (int i = 0; i < 5; ++i) {
            loop.Post([&order, i] { order.push_back(i); });
        }
    });
    poster.join();
    EXPECT_EQ(loop.RunPending(), 5);
    EXPECT_EQ(order, (std::vector<int>{0, 1, 2, 3, 4}));
}

TEST(EventLoopTest, CloseReleasesABlockedSenderWithoutRunningItsCall) {
    EventLoop loop;
    std::atomic<bool> ran{false};
    std::thread sender([&] { loop.Send([&] { ran = true; }); });
    std::this_thread::sleep_for(20ms);
    loop.Close();
    sender.join();
    loop.Send([&] { ran = true; });
    loop.Post([&] { ran = true; });
    EXPECT_EQ(loop.RunPending(), 0);
    EXPECT_FALSE(ran.load());
}

TEST(EventLoopTest, RunUntilEndsOnItsConditionTimeoutOrQuit) {
    EventLoop loop;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(loop.RunUntil([] { return false; }, 30ms));
    EXPECT_GE(std::chrono::steady_clock::now() - start, 30ms);

    // A condition another thread changes is noticed without any queued call.
    std::atomic<bool> flag{false};
    std::thread setter([&] {
        std::this_thread::sleep_for(20ms);
        flag = true;
    });
    EXPECT_TRUE(loop.RunUntil([&] { return flag.load(); }, 5s));
    setter.join();

    std::thread quitter([&] {
        std::this_thread::sleep_for(20ms);
        loop.Quit();
    });
    const auto quitStart = std::chrono::steady_clock::now();
    loop.RunFor(10s);
    EXPECT_LT(std::chrono::steady_clock::now() - quitStart, 5s);
    quitter.join();
}

TEST(EventLoopTest, RunUntilCalledSleepsUntilACallOrTheTimeout) {
    EventLoop loop;
    // Nothing queued: the condition is looked at on entry and at the timeout, no more.
    int checks = 0;
    EXPECT_FALSE(loop.RunUntilCalled(
        [&] {
            ++checks;
            return false;
        },
        200ms));
    EXPECT_LE(checks, 3);

    // A call posted from another thread both wakes the loop and makes the condition true.
    bool done = false;
    std::thread poster([&] {
        std::this_thread::sleep_for(20ms);
        loop.Post([&] { done = true; });
    });
    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(loop.RunUntilCalled([&] { return done; }, 10s));
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
    poster.join();
}

}  // namespace
}  // namespace quarn::console
