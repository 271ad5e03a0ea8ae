#include "platform/child_process.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <string>
#include <thread>

#include "platform/deadline.h"

namespace quarn::platform {
namespace {

// Collects the child's output until it exits and the pipe is drained.
std::string DrainUntilExit(ChildProcess& child, int budgetMs = 5000) {
    std::string output;
    char buffer[64];
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(budgetMs);
    while (std::chrono::steady_clock::now() < deadline) {
        child.WaitForOutputOrExit(100);
        long got;
        while ((got = child.ReadAvailable(buffer, sizeof buffer)) > 0) {
            output.append(buffer, static_cast<size_t>(got));
        }
        if (got < 0 && child.Exited()) {
            break;
        }
    }
    return output;
}

TEST(ChildProcess, MergesStdoutAndStderrAndReportsExit) {
    ChildProcess child;
    ASSERT_TRUE(child.Start({"/bin/sh", "-c", "echo out; echo err >&2; exit 3"}));
    EXPECT_GT(child.Pid(), 0);
    const std::string output = DrainUntilExit(child);
    EXPECT_EQ(output, "out\nerr\n");
    EXPECT_TRUE(child.Exited());
    EXPECT_TRUE(child.Exited());  // stays true once reaped
    ASSERT_TRUE(WIFEXITED(child.WaitStatus()));
    EXPECT_EQ(WEXITSTATUS(child.WaitStatus()), 3);
}

TEST(ChildProcess, ExtraEnvironmentStdinAndNoLeakedDescriptors) {
    setenv("QUARN_TEST_INHERITED", "parent", 1);
    ChildProcess child;
    // stdin must be /dev/null (cat ends at once) and only fds 0..2 may be open.
    ASSERT_TRUE(child.Start({"/bin/sh", "-c",
                             "cat; echo \"$QUARN_TEST_EXTRA $QUARN_TEST_INHERITED\"; "
                             "ls /proc/self/fd | wc -l"},
                            {"QUARN_TEST_EXTRA=given", "QUARN_TEST_INHERITED=replaced"}));
    const std::string output = DrainUntilExit(child);
    unsetenv("QUARN_TEST_INHERITED");
    // ls sees 0, 1, 2 and the directory it reads.
    EXPECT_EQ(output, "given replaced\n4\n");
}

TEST(ChildProcess, MissingOrNonExecutableProgramFailsToStart) {
    ChildProcess child;
    EXPECT_FALSE(child.Start({"/nonexistent/iperf", "-s"}));
    EXPECT_FALSE(child.Running());
    EXPECT_FALSE(child.Start({"/etc/passwd"}));
    EXPECT_FALSE(child.Start({}));
    EXPECT_EQ(child.ReadAvailable(nullptr, 0), -1);
}

TEST(ChildProcess, WaitForOutputOrExitSeesOutputThenExit) {
    ChildProcess child;
    ASSERT_TRUE(child.Start({"/bin/sh", "-c", "sleep 0.2; echo late; sleep 0.2"}));
    char buffer[32];
    EXPECT_EQ(child.ReadAvailable(buffer, sizeof buffer), 0);  // nothing yet, no blocking
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(child.WaitForOutputOrExit(50));  // times out
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(40));
    EXPECT_TRUE(child.WaitForOutputOrExit(3000));
    EXPECT_EQ(child.ReadAvailable(buffer, sizeof buffer), 5);
    EXPECT_FALSE(child.WaitForOutputOrExit(3000));  // returns on exit, no output
    EXPECT_TRUE(child.Exited());
}

TEST(PollTimeout, RoundsTheTimeLeftUp) {
    using std::chrono::microseconds;
    const auto now = SteadyClock::now();
    EXPECT_EQ(PollTimeoutMs(now + microseconds(300), now), 1);
    EXPECT_EQ(PollTimeoutMs(now + microseconds(1000), now), 1);
    EXPECT_EQ(PollTimeoutMs(now + microseconds(1001), now), 2);
    EXPECT_EQ(PollTimeoutMs(now + std::chrono::milliseconds(100), now), 100);
    EXPECT_EQ(PollTimeoutMs(now, now), 0);
    EXPECT_EQ(PollTimeoutMs(now - microseconds(1), now), 0);
}

// The time left was cut to whole milliseconds, so the last millisecond of every wait was
// spent calling poll with timeout 0 in a loop.
TEST(ChildProcess, WaitingOnASilentChildDoesNotSpin) {
    ChildProcess child;
    ASSERT_TRUE(child.Start({"/bin/sleep", "100"}));
    const auto cpuNow = [] {
        timespec ts{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
        return std::chrono::seconds(ts.tv_sec) + std::chrono::nanoseconds(ts.tv_nsec);
    };
    const auto wallStart = std::chrono::steady_clock::now();
    const auto cpuStart = cpuNow();
    for (int wait = 0; wait < 100; ++wait) {
        ASSERT_FALSE(child.WaitForOutputOrExit(3));
        ASSERT_FALSE(child.WaitExit(2));
    }
    const auto cpu = cpuNow() - cpuStart;
    const auto wall = std::chrono::steady_clock::now() - wallStart;
    // Spinning through the last millisecond of each wait burns about a third of it.
    EXPECT_LT(cpu * 10, wall) << "cpu "
                              << std::chrono::duration_cast<std::chrono::microseconds>(cpu).count()
                              << " us of "
                              << std::chrono::duration_cast<std::chrono::microseconds>(wall).count()
                              << " us";
    child.Terminate();
}

TEST(ChildProcess, TerminateKillsARunningChild) {
    ChildProcess child;
    ASSERT_TRUE(child.Start({"/bin/sleep", "100"}));
    const pid_t pid = child.Pid();
    EXPECT_FALSE(child.Exited());
    EXPECT_FALSE(child.WaitExit(50));
    const auto start = std::chrono::steady_clock::now();
    child.Terminate();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    EXPECT_TRUE(child.Exited());
    ASSERT_TRUE(WIFSIGNALED(child.WaitStatus()));
    EXPECT_EQ(WTERMSIG(child.WaitStatus()), SIGKILL);
    // Reaped: the pid no longer names our child.
    EXPECT_EQ(waitpid(pid, nullptr, WNOHANG), -1);
}

TEST(ChildProcess, DestructorAndMoveEndTheChild) {
    pid_t pid;
    {
        ChildProcess child;
        ASSERT_TRUE(child.Start({"/bin/sleep", "100"}));
        pid = child.Pid();
        ChildProcess moved = std::move(child);
        EXPECT_EQ(moved.Pid(), pid);
        EXPECT_FALSE(child.Running());
    }
    EXPECT_EQ(kill(pid, 0), -1);
}

bool GoneWithin(pid_t pid, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < deadline) {
        // Gone, or a zombie waiting for its new parent to reap it.
        std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
        std::string pidField, comm, state;
        if (!(stat >> pidField >> comm >> state) || state == "Z") {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

// A killed owner must not leave its children running (they would go on sending traffic).
TEST(ChildProcess, ChildEndsWhenItsOwnerIsKilled) {
    int pidPipe[2];
    ASSERT_EQ(pipe(pidPipe), 0);
    const pid_t owner = fork();
    ASSERT_GE(owner, 0);
    if (owner == 0) {
        ChildProcess child;
        pid_t started = child.Start({"/bin/sleep", "30"}) ? child.Pid() : -1;
        (void)!write(pidPipe[1], &started, sizeof started);
        pause();
        _exit(0);
    }
    close(pidPipe[1]);
    pid_t grandchild = -1;
    ASSERT_EQ(read(pidPipe[0], &grandchild, sizeof grandchild),
              static_cast<ssize_t>(sizeof grandchild));
    close(pidPipe[0]);
    ASSERT_GT(grandchild, 0);
    kill(owner, SIGKILL);
    waitpid(owner, nullptr, 0);
    EXPECT_TRUE(GoneWithin(grandchild, std::chrono::seconds(3)));
    kill(grandchild, SIGKILL);  // only matters when the check failed
}

// The same holds for the thread that started it, which is why callers wait on that thread.
TEST(ChildProcess, ChildEndsWithTheThreadThatStartedIt) {
    ChildProcess child;
    std::thread([&] { ASSERT_TRUE(child.Start({"/bin/sleep", "30"})); }).join();
    EXPECT_TRUE(child.WaitExit(3000));
}

}  // namespace
}  // namespace quarn::platform
