#include "endpoint/agent/thread_group.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "endpoint/agent/socket_watch.h"
#include "tests/support/socket_reading.h"

namespace quarn::agent {
namespace {

TEST(ThreadGroup, RefusesBeyondTheLimitAndJoinsEverything) {
    std::atomic<bool> release{false};
    std::atomic<int> finished{0};
    ThreadGroup group(2);
    auto blocked = [&] {
        while (!release.load()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        finished.fetch_add(1);
    };
    EXPECT_TRUE(group.Launch(blocked));
    EXPECT_TRUE(group.Launch(blocked));
    EXPECT_FALSE(group.Launch(blocked));
    EXPECT_EQ(group.Running(), 2);

    release = true;
    while (group.Running() > 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    // Finished threads free their places.
    EXPECT_TRUE(group.Launch([&] { finished.fetch_add(1); }));
    group.JoinAll();
    EXPECT_EQ(finished.load(), 3);
    EXPECT_FALSE(group.Launch([] {}));
}

TEST(SocketWatch, WakeAllUnblocksAReceiveAndRefusesLaterSockets) {
    const platform::Socket listener = platform::TcpListen(0x7F000001, 0, 1);
    ASSERT_TRUE(listener.Valid());
    const platform::Socket client = test_support::ConnectLoopback(platform::LocalPort(listener));
    platform::Socket served = platform::Accept(listener);
    ASSERT_TRUE(served.Valid());

    SocketWatch watch;
    std::atomic<bool> watching{false};
    std::atomic<bool> returned{false};
    std::thread reader([&] {
        WatchedSocket watched(watch, served);
        watching = static_cast<bool>(watched);
        char byte;
        platform::Receive(served, &byte, 1);  // no timeout: only the watch can end it
        returned = true;
    });
    while (!watching.load()) {
        std::this_thread::yield();
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(returned.load());
    watch.WakeAll();
    reader.join();
    EXPECT_TRUE(watch.Woken());
    EXPECT_FALSE(WatchedSocket(watch, client));
}

}  // namespace
}  // namespace quarn::agent
