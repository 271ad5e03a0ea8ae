#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <memory>
#include <optional>
#include <stop_token>
#include <string>
#include <thread>

#include "platform/child_process.h"
#include "platform/shutdown_signals.h"
#include "platform/socket.h"
#include "platform/wake_event.h"

namespace quarn::platform {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr uint32_t kWaitLoopback = 0x7F000001;

// A connected loopback pair: `near` is waited on, `far` is the peer that may hang up.
struct HangUpPair {
    HangUpPair() {
        Socket listener = TcpListen(kWaitLoopback, 0, 1);
        far = TcpConnect(kWaitLoopback, LocalPort(listener), 1000);
        near = Accept(listener);
    }
    Socket near;
    Socket far;
};

TEST(EventWait, StopWakeIsSetByTheStopAndAtOnceForAnEarlierOne) {
    // A jthread's source: GCC 12 warns of a default-constructed one here.
    std::jthread owner([](const std::stop_token&) {});
    std::stop_source source = owner.get_stop_source();
    const StopWake wake(source.get_token());
    EXPECT_FALSE(wake.Event().IsSet());
    source.request_stop();
    EXPECT_TRUE(wake.Event().IsSet());

    const StopWake late(source.get_token());
    EXPECT_TRUE(late.Event().IsSet());
}

// A wait sets errno (ECANCELED) and then lets its StopWake go, often while the stopping
// thread is still inside the callback: ending it must not change what the wait reported.
TEST(EventWait, EndingAStopWakeKeepsTheErrnoItsWaitSet) {
    for (int round = 0; round < 2000; ++round) {
        std::stop_source source;
        std::optional<StopWake> wake(std::in_place, source.get_token());
        std::jthread stopper([&source] { source.request_stop(); });
        while (!wake->Event().IsSet()) {
        }
        errno = ECANCELED;
        wake.reset();
        const int seen = errno;
        ASSERT_EQ(seen, ECANCELED) << "round " << round;
    }
}

TEST(EventWait, ChildWaitEndsOnOutputThenExitAndTimesOutOnSilence) {
    const WakeEvent never;
    ChildProcess silent;
    ASSERT_TRUE(silent.Start({"/bin/sleep", "5"}));
    const auto start = Clock::now();
    EXPECT_EQ(silent.WaitForEvent(50ms, never), ChildEvent::TimedOut);
    EXPECT_GE(Clock::now() - start, 50ms);

    ChildProcess talker;
    ASSERT_TRUE(talker.Start({"/bin/sh", "-c", "echo last words"}));
    EXPECT_EQ(talker.WaitForEvent(5s, never), ChildEvent::Output);
    char buffer[64];
    // What it wrote last is still read after the exit is seen.
    std::string output;
    for (ChildEvent event = ChildEvent::Output; event == ChildEvent::Output;
         event = talker.WaitForEvent(5s, never)) {
        for (long got; (got = talker.ReadAvailable(buffer, sizeof buffer)) > 0;) {
            output.append(buffer, static_cast<size_t>(got));
        }
    }
    EXPECT_EQ(output, "last words\n");
    EXPECT_TRUE(talker.Exited());
    EXPECT_EQ(talker.WaitForEvent(5s, never), ChildEvent::Exited);
}

TEST(EventWait, ChildWaitWakesForAStopFromAnotherThread) {
    ChildProcess silent;
    ASSERT_TRUE(silent.Start({"/bin/sleep", "5"}));
    std::stop_source source;
    const StopWake wake(source.get_token());
    std::jthread stopper([&] {
        std::this_thread::sleep_for(30ms);
        source.request_stop();
    });
    const auto start = Clock::now();
    EXPECT_EQ(silent.WaitForEvent(10s, wake.Event()), ChildEvent::Woken);
    EXPECT_LT(Clock::now() - start, 2s);
}

TEST(EventWait, ChildWaitSeesThePeerHangUpButNotItsBytes) {
    HangUpPair pair;
    ASSERT_TRUE(pair.near.Valid() && pair.far.Valid());
    ChildProcess silent;
    ASSERT_TRUE(silent.Start({"/bin/sleep", "5"}));
    const WakeEvent never;
    ASSERT_TRUE(SendAll(pair.far, "unexpected"));
    EXPECT_EQ(silent.WaitForEvent(50ms, never, &pair.near), ChildEvent::TimedOut);
    pair.far.Close();
    EXPECT_EQ(silent.WaitForEvent(5s, never, &pair.near), ChildEvent::PeerGone);
}

TEST(EventWait, SignalWatcherStopsWhileWaitingAndSeesEverySignal) {
    {
        // Nothing arrives: the destructor's stop ends the wait at once.
        auto idle = std::make_unique<ShutdownSignals>([] {});
        ASSERT_TRUE(idle->Valid());
        std::this_thread::sleep_for(20ms);
        const auto start = Clock::now();
        idle.reset();
        EXPECT_LT(Clock::now() - start, 1s);
    }
    std::atomic<int> seen{0};
    std::atomic<int> last{0};
    const auto start = Clock::now();
    {
        const ShutdownSignals every(ShutdownSignals::EverySignal{}, [&](int signal) {
            last = signal;
            ++seen;
        });
        ASSERT_TRUE(every.Valid());
        // The signals stay blocked in this thread, so only the watcher takes them.
        kill(getpid(), SIGTERM);
        while (seen < 1 && Clock::now() - start < 5s) {
            std::this_thread::sleep_for(1ms);
        }
        kill(getpid(), SIGINT);
        while (seen < 2 && Clock::now() - start < 5s) {
            std::this_thread::sleep_for(1ms);
        }
    }
    EXPECT_EQ(seen.load(), 2);
    EXPECT_EQ(last.load(), SIGINT);
    EXPECT_LT(Clock::now() - start, 5s);
}

}  // namespace
}  // namespace quarn::platform
