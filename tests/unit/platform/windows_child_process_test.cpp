#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

#include "platform/child_process.h"
#include "platform/iperf_locator.h"
#include "platform/iperf_marker.h"
#include "platform/process_table.h"
#include "platform/socket.h"
#include "platform/wake_event.h"

namespace quarn::platform {
namespace {

std::string Helper() {
    return OwnExecutableDir() + "\\child_echo.exe";
}

std::string ReadAll(ChildProcess& child) {
    std::string out;
    char buffer[256];
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::chrono::steady_clock::now() < deadline) {
        child.WaitForOutputOrExit(100);
        const long got = child.ReadAvailable(buffer, sizeof buffer);
        if (got < 0) {
            break;
        }
        out.append(buffer, static_cast<size_t>(got));
    }
    // The child's C runtime writes text mode: "\r\n" line ends.
    std::erase(out, '\r');
    return out;
}

TEST(WindowsChildProcess, ArgumentsArriveExactlyAndBothStreamsShareThePipe) {
    ChildProcess child;
    const std::vector<std::string> tricky = {"two words", "say \"hi\"", "C:\\dir with space\\",
                                             "a\\\\b", ""};
    std::vector<std::string> argv = {Helper()};
    argv.insert(argv.end(), tricky.begin(), tricky.end());
    ASSERT_TRUE(child.Start(argv, {"QUARN_TEST_VALUE=marker-42"}));
    const std::string out = ReadAll(child);
    for (const std::string& argument : tricky) {
        EXPECT_NE(out.find("[" + argument + "]\n"), std::string::npos) << argument << "\n" << out;
    }
    EXPECT_NE(out.find("value=marker-42\n"), std::string::npos) << out;
    EXPECT_TRUE(child.WaitExit(10000));
    EXPECT_EQ(child.WaitStatus(), 0);
}

TEST(WindowsChildProcess, ExitCodeAndStartFailure) {
    ChildProcess child;
    ASSERT_TRUE(child.Start({Helper(), "exit", "3"}));
    ReadAll(child);
    ASSERT_TRUE(child.WaitExit(10000));
    EXPECT_EQ(child.WaitStatus(), 3);
    EXPECT_FALSE(child.Running());

    ChildProcess missing;
    EXPECT_FALSE(missing.Start({OwnExecutableDir() + "\\no-such-program.exe"}));
    EXPECT_FALSE(missing.Running());
}

TEST(WindowsChildProcess, TerminateAndDestructorEndTheChild) {
    ChildProcess child;
    ASSERT_TRUE(child.Start({Helper(), "sleep", "60"}));
    const pid_t pid = child.Pid();
    EXPECT_FALSE(child.WaitExit(200));
    child.Terminate();
    EXPECT_FALSE(child.Running());
    EXPECT_FALSE(ReadProcessInfo(pid).has_value());
    {
        ChildProcess scoped;
        ASSERT_TRUE(scoped.Start({Helper(), "sleep", "60"}));
        ASSERT_TRUE(ReadProcessInfo(scoped.Pid()).has_value());
    }
    // The job object went with it; no helper of ours is left.
    EXPECT_EQ(KillOwnChildren(Helper(), "test"), 0);
}

using namespace std::chrono_literals;

// Reads through WaitForEvent alone until the child has ended, as the roles do.
std::string ReadUntilExited(ChildProcess& child, const WakeEvent& wake, ChildEvent& last) {
    std::string out;
    char buffer[512];
    for (int events = 0; events < 10000; ++events) {
        long got;
        while ((got = child.ReadAvailable(buffer, sizeof buffer)) > 0) {
            out.append(buffer, static_cast<size_t>(got));
        }
        last = child.WaitForEvent(20s, wake);
        if (last != ChildEvent::Output) {
            break;
        }
    }
    std::erase(out, '\r');
    return out;
}

// More than the pipe's read buffer, written just before the child ends: all of it comes,
// and only then the exit.
TEST(WindowsChildProcess, WaitForEventDeliversAllOutputBeforeTheExit) {
    const std::string longArgument(20000, 'q');
    ChildProcess child;
    ASSERT_TRUE(child.Start({Helper(), "exit", "4", longArgument}));
    const WakeEvent wake;
    ChildEvent last = ChildEvent::Woken;
    const std::string out = ReadUntilExited(child, wake, last);
    EXPECT_EQ(last, ChildEvent::Exited);
    EXPECT_EQ(out, "[exit]\n[4]\n[" + longArgument + "]\nvalue=(none)\n");
    EXPECT_TRUE(child.WaitExit(5000));
    EXPECT_EQ(child.WaitStatus(), 4);
}

// A child that prints and then sleeps: its output wakes the wait, silence times it out,
// and a stop from another thread ends it at once, long before its timeout.
TEST(WindowsChildProcess, WaitForEventWakesOnOutputTimeoutAndStop) {
    ChildProcess child;
    ASSERT_TRUE(child.Start({Helper(), "sleep", "60"}));
    std::string out;
    char buffer[256];
    const auto until = std::chrono::steady_clock::now() + 20s;
    std::stop_source stop;
    const StopWake wake(stop.get_token());
    while (out.find("value=") == std::string::npos && std::chrono::steady_clock::now() < until) {
        if (child.WaitForEvent(20s, wake.Event()) == ChildEvent::Output) {
            const long got = child.ReadAvailable(buffer, sizeof buffer);
            out.append(buffer, static_cast<size_t>(std::max(got, 0L)));
        }
    }
    EXPECT_NE(out.find("[sleep]"), std::string::npos) << out;

    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(child.WaitForEvent(300ms, wake.Event()), ChildEvent::TimedOut);
    EXPECT_GE(std::chrono::steady_clock::now() - start, 250ms);

    std::jthread stopper([&stop] {
        std::this_thread::sleep_for(200ms);
        stop.request_stop();
    });
    start = std::chrono::steady_clock::now();
    EXPECT_EQ(child.WaitForEvent(30s, wake.Event()), ChildEvent::Woken);
    const auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_GE(waited, 150ms);
    EXPECT_LT(waited, 3s);
    EXPECT_TRUE(child.Running());
    child.Terminate();
    EXPECT_FALSE(child.Running());
}

// The requester's connection closing ends a wait on a silent child at once, also after it
// sent bytes (which wake the hang-up watch without a close).
TEST(WindowsChildProcess, WaitForEventSeesThePeerClose) {
    constexpr uint32_t kLoopback = 0x7F000001;
    for (const bool chatty : {false, true}) {
        ChildProcess child;
        ASSERT_TRUE(child.Start({Helper(), "sleep", "60"}));
        Socket listener = TcpListen(kLoopback, 0, 4);
        Socket requester = TcpConnect(kLoopback, LocalPort(listener), 2000);
        Socket connection = Accept(listener);
        ASSERT_TRUE(requester.Valid() && connection.Valid());
        const WakeEvent wake;
        ChildEvent last = ChildEvent::Woken;
        std::jthread closer([&] {
            std::this_thread::sleep_for(300ms);
            if (chatty) {
                // Bytes wake the watch; the wait drops them and must still see the close.
                SendAll(requester, "unexpected");
                std::this_thread::sleep_for(300ms);
            }
            requester.Close();
        });
        const auto start = std::chrono::steady_clock::now();
        for (int i = 0;
             i < 100 && (last = child.WaitForEvent(30s, wake, &connection)) == ChildEvent::Output;
             ++i) {
            char buffer[256];
            child.ReadAvailable(buffer, sizeof buffer);
        }
        EXPECT_EQ(last, ChildEvent::PeerGone) << chatty;
        EXPECT_LT(std::chrono::steady_clock::now() - start, 3s) << chatty;
        closer.join();
    }
}

// Bytes from the peer neither end a wait nor turn it into slices: it sleeps on through them
// (not waking for them again), and a stop from another thread ends it within a slice's time.
TEST(WindowsChildProcess, AfterThePeerSpokeAStopStillEndsTheWaitAtOnce) {
    constexpr uint32_t kLoopback = 0x7F000001;
    ChildProcess child;
    ASSERT_TRUE(child.Start({Helper(), "sleep", "60"}));
    Socket listener = TcpListen(kLoopback, 0, 4);
    Socket requester = TcpConnect(kLoopback, LocalPort(listener), 2000);
    Socket connection = Accept(listener);
    ASSERT_TRUE(requester.Valid() && connection.Valid());
    ASSERT_TRUE(SendAll(requester, "unexpected"));
    std::stop_source stop;
    const StopWake wake(stop.get_token());
    std::string out;
    ChildEvent last = ChildEvent::Output;
    // The helper's opening lines first; then only the bytes and the timeout remain.
    for (int i = 0; i < 50 && last != ChildEvent::TimedOut; ++i) {
        last = child.WaitForEvent(400ms, wake.Event(), &connection);
        char buffer[256];
        const long got = child.ReadAvailable(buffer, sizeof buffer);
        out.append(buffer, static_cast<size_t>(std::max(got, 0L)));
    }
    EXPECT_EQ(last, ChildEvent::TimedOut) << out;
    EXPECT_FALSE(PeerHasClosed(connection));  // the bytes were taken, the connection stays
    for (int round = 0; round < 5; ++round) {
        std::stop_source again;
        const StopWake woken(again.get_token());
        std::atomic<std::chrono::steady_clock::rep> stoppedAt{0};
        std::jthread stopper([&] {
            std::this_thread::sleep_for(150ms);
            stoppedAt.store(std::chrono::steady_clock::now().time_since_epoch().count());
            again.request_stop();
        });
        EXPECT_EQ(child.WaitForEvent(30s, woken.Event(), &connection), ChildEvent::Woken);
        const auto late =
            std::chrono::steady_clock::now().time_since_epoch().count() - stoppedAt.load();
        // Well under the 100 ms slices this wait used to fall back to.
        EXPECT_LT(std::chrono::steady_clock::duration(late), 60ms) << round;
    }
    requester.Close();
    EXPECT_EQ(child.WaitForEvent(5s, wake.Event(), &connection), ChildEvent::PeerGone);
    child.Terminate();
}

// A child that talks all the time, as iperf does: the hang-up watch kept from one wait to
// the next still sees the close, also after bytes from the peer woke it (the wait drops
// them), while the lines keep coming.
TEST(WindowsChildProcess, WaitsOnATalkingChildSeeThePeerClose) {
    constexpr uint32_t kLoopback = 0x7F000001;
    for (const bool chatty : {false, true}) {
        ChildProcess child;
        ASSERT_TRUE(child.Start({Helper(), "tick", "60"}));
        Socket listener = TcpListen(kLoopback, 0, 4);
        Socket requester = TcpConnect(kLoopback, LocalPort(listener), 2000);
        Socket connection = Accept(listener);
        ASSERT_TRUE(requester.Valid() && connection.Valid());
        // Several waits have gone by on the same watch before the peer does anything.
        std::atomic<bool> talking{false};
        std::atomic<std::chrono::steady_clock::rep> closedAt{0};
        std::jthread closer([&](std::stop_token stop) {
            while (!talking.load() && !stop.stop_requested()) {
                std::this_thread::sleep_for(10ms);
            }
            if (chatty) {
                SendAll(requester, "unexpected");
                std::this_thread::sleep_for(300ms);
            }
            requester.Close();
            closedAt.store(std::chrono::steady_clock::now().time_since_epoch().count());
        });
        const WakeEvent wake;
        std::string out;
        ChildEvent last = ChildEvent::Woken;
        for (int i = 0;
             i < 2000 && (last = child.WaitForEvent(30s, wake, &connection)) == ChildEvent::Output;
             ++i) {
            char buffer[256];
            const long got = child.ReadAvailable(buffer, sizeof buffer);
            out.append(buffer, static_cast<size_t>(std::max(got, 0L)));
            talking.store(talking.load() || out.find("tick 3") != std::string::npos);
        }
        const auto end = std::chrono::steady_clock::now();
        EXPECT_EQ(last, ChildEvent::PeerGone) << chatty;
        EXPECT_TRUE(talking.load()) << chatty;
        closer.request_stop();
        closer.join();
        // The close ended the waits soon after it came.
        ASSERT_NE(closedAt.load(), 0) << chatty;
        const std::chrono::steady_clock::time_point closedTime{
            std::chrono::steady_clock::duration(closedAt.load())};
        EXPECT_LT(end - closedTime, 2s) << chatty;
    }
}

TEST(WindowsProcessTable, ListsOurChildWithItsParentAndPath) {
    ChildProcess child;
    ASSERT_TRUE(child.Start({Helper(), "sleep", "60"}));
    const std::optional<ProcessInfo> info = ReadProcessInfo(child.Pid());
    ASSERT_TRUE(info.has_value());
    EXPECT_EQ(info->ppid, static_cast<pid_t>(GetCurrentProcessId()));
    const std::string& exe = info->exePath;
    ASSERT_GE(exe.size(), std::string("child_echo.exe").size());
    EXPECT_EQ(exe.substr(exe.size() - 14), "child_echo.exe");
    // The sweep of our own children kills it, and only programs at that path.
    EXPECT_EQ(KillOwnChildren(OwnExecutableDir() + "\\other.exe", "test"), 0);
    EXPECT_EQ(KillOwnChildren(Helper(), "test"), 1);
    EXPECT_TRUE(child.WaitExit(10000));
}

}  // namespace
}  // namespace quarn::platform
