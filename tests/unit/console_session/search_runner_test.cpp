#include "console/session/search_runner.h"

#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <thread>
#include <vector>

#include "console/core/event_loop.h"
#include "tests/unit/console_net/loopback_peer.h"

namespace quarn::console {
namespace {

using namespace std::chrono_literals;
using testing::kLoopback;
using testing::LoopbackOptions;
using testing::LoopbackResponder;

TEST(SearchRunner, PostsTheResultToTheMainThreadAndAllowsTheNextSearchThere) {
    LoopbackResponder responder({"127.0.0.1 5001 45000 agent"});
    EventLoop loop;
    SearchRunner runner(LoopbackOptions(responder), loop);
    std::optional<std::vector<EndPointEntry>> received;
    std::thread::id handlerThread;
    bool restarted = false;
    ASSERT_TRUE(runner.Start([&](std::vector<EndPointEntry> found) {
        received = std::move(found);
        handlerThread = std::this_thread::get_id();
        // The result's handler may start the next search at once.
        restarted = runner.Start([](std::vector<EndPointEntry>) {});
    }));
    EXPECT_TRUE(runner.Running());
    EXPECT_FALSE(runner.Start([](std::vector<EndPointEntry>) {}));  // one at a time

    ASSERT_TRUE(loop.RunUntil([&] { return received.has_value(); }, 10s));
    EXPECT_EQ(handlerThread, std::this_thread::get_id());
    ASSERT_EQ(received->size(), 1u);
    EXPECT_EQ((*received)[0].label, "(agent");
    EXPECT_TRUE(restarted);
    runner.Stop();
}

TEST(SearchRunner, StopCancelsARunningSearchWithinOneReplyTimeout) {
    LoopbackResponder responder({"127.0.0.1 5001 45000 agent"});
    DiscoveryOptions options = LoopbackOptions(responder);
    options.replyTimeoutMs = 1000;
    options.destinations = {kLoopback, kLoopback, kLoopback};  // about nine seconds in all
    EventLoop loop;
    SearchRunner runner(options, loop);
    ASSERT_TRUE(runner.Start([](std::vector<EndPointEntry>) {}));
    std::this_thread::sleep_for(100ms);

    const auto started = std::chrono::steady_clock::now();
    runner.Stop();
    EXPECT_LT(std::chrono::steady_clock::now() - started, 1500ms);
    EXPECT_FALSE(runner.Running());
}

TEST(SearchRunner, AResultPostedToAClosedMainThreadNeverReachesItsReceiver) {
    LoopbackResponder responder({"127.0.0.1 5001 45000 agent"});
    EventLoop loop;
    bool delivered = false;
    {
        SearchRunner runner(LoopbackOptions(responder), loop);
        ASSERT_TRUE(runner.Start([&](std::vector<EndPointEntry>) { delivered = true; }));
        // As a quitting session does: close first, then end the search.
        loop.Close();
    }
    EXPECT_EQ(loop.RunPending(), 0);
    EXPECT_FALSE(delivered);
}

}  // namespace
}  // namespace quarn::console
