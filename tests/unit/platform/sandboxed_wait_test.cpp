// The waits where a sandbox's filter refuses pidfd_open or eventfd (as some container
// runtimes do): they still sleep until something happens instead of waking in slices, and
// a stop still ends them at once. Each case runs in a forked child that installs the filter.
#include <gtest/gtest.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstddef>
#include <functional>
#include <iterator>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

#include "platform/child_process.h"
#include "platform/socket.h"
#include "platform/wake_event.h"

namespace quarn::platform {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr uint32_t kSandboxLoopback = 0x7F000001;

// From now on `call` fails with ENOSYS in this thread and whatever it starts.
bool Refuse(long call) {
    sock_filter filter[] = {
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, static_cast<__u32>(call), 0, 1),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | (ENOSYS & SECCOMP_RET_DATA)),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
    };
    sock_fprog program{static_cast<unsigned short>(std::size(filter)), filter};
    return prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0 &&
           prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) == 0;
}

// Runs `body` in a forked child with `call` refused; what it returns is the first check
// that failed there, empty when all held.
std::string InSandbox(long call, const std::function<std::string()>& body) {
    int report[2];
    if (pipe(report) != 0)
        return "no pipe";
    const pid_t child = fork();
    if (child == 0) {
        close(report[0]);
        const std::string failed = Refuse(call) ? body() : "the filter was refused";
        (void)!write(report[1], failed.data(), failed.size());
        _exit(0);
    }
    close(report[1]);
    std::string failed;
    char buffer[256];
    for (ssize_t got; (got = read(report[0], buffer, sizeof buffer)) > 0;)
        failed.append(buffer, static_cast<std::size_t>(got));
    close(report[0]);
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) != child || !WIFEXITED(status))
        return failed + " (the sandboxed child did not end well)";
    return failed;
}

// How often this thread has gone to sleep so far.
long Sleeps() {
    rusage usage{};
    getrusage(RUSAGE_THREAD, &usage);
    return usage.ru_nvcsw;
}

// Requests the stop after `delay`, from another thread.
std::jthread StopAfter(std::stop_source& source, std::chrono::milliseconds delay) {
    return std::jthread([&source, delay] {
        std::this_thread::sleep_for(delay);
        source.request_stop();
    });
}

TEST(SandboxedWait, WithoutAPidfdAChildWaitSleepsOnItsOutputAndSeesTheExit) {
    const std::string failed = InSandbox(SYS_pidfd_open, []() -> std::string {
        const WakeEvent never;
        ChildProcess silent;
        if (!silent.Start({"/bin/sleep", "5"}))
            return "sleep did not start";
        // A slice of 100 ms would wake it about five times.
        const long before = Sleeps();
        if (silent.WaitForEvent(500ms, never) != ChildEvent::TimedOut)
            return "the silent child's wait did not time out";
        if (Sleeps() - before > 2)
            return "the wait woke " + std::to_string(Sleeps() - before) + " times";
        std::stop_source source;
        const StopWake wake(source.get_token());
        const std::jthread stopper = StopAfter(source, 50ms);
        const auto start = Clock::now();
        if (silent.WaitForEvent(10s, wake.Event()) != ChildEvent::Woken ||
            Clock::now() - start > 2s)
            return "the stop did not end the wait";

        ChildProcess brief;
        if (!brief.Start({"/bin/sleep", "0.3"}))
            return "the brief child did not start";
        const long exitBefore = Sleeps();
        ChildEvent event = ChildEvent::Output;
        while (event == ChildEvent::Output)
            event = brief.WaitForEvent(5s, never);
        if (event != ChildEvent::Exited || !brief.Exited())
            return "the exit was not seen";
        if (Sleeps() - exitBefore > 12)
            return "waiting for the exit woke " + std::to_string(Sleeps() - exitBefore) + " times";
        return {};
    });
    EXPECT_EQ(failed, "");
}

TEST(SandboxedWait, WithoutAPidfdWaitExitSleepsUntilTheExitAndLeavesTheOutput) {
    const std::string failed = InSandbox(SYS_pidfd_open, []() -> std::string {
        ChildProcess child;
        if (!child.Start({"/bin/sh", "-c", "echo left; exec /bin/sleep 0.4"}))
            return "the child did not start";
        // Sleeps of 10 ms would wake it about forty times.
        const long before = Sleeps();
        if (child.WaitExit(200))
            return "WaitExit did not time out";
        if (!child.WaitExit(5000))
            return "WaitExit did not see the exit";
        if (Sleeps() - before > 14)
            return "WaitExit woke " + std::to_string(Sleeps() - before) + " times";
        char buffer[16];
        const long got = child.ReadAvailable(buffer, sizeof buffer);
        if (got != 5 || std::string(buffer, 5) != "left\n")
            return "the output was lost";
        return {};
    });
    EXPECT_EQ(failed, "");
}

// Fills the accept queue of a listener that never accepts, so that the next connect waits.
bool FillListenQueue(const Socket& listener, std::vector<Socket>& queued) {
    for (int i = 0; i < 16; ++i) {
        Socket socket = TcpConnect(kSandboxLoopback, LocalPort(listener), 200);
        if (!socket.Valid())
            return errno == ETIMEDOUT;
        queued.push_back(std::move(socket));
    }
    return false;
}

TEST(SandboxedWait, WithoutAnEventfdAStopStillWakesTheChildAndConnectWaitsAtOnce) {
    const std::string failed = InSandbox(SYS_eventfd2, []() -> std::string {
        const WakeEvent event;
        if (event.Fd() < 0)
            return "the wake event has no descriptor";
        ChildProcess silent;
        if (!silent.Start({"/bin/sleep", "5"}))
            return "sleep did not start";
        std::stop_source childStop;
        const StopWake childWake(childStop.get_token());
        long before = Sleeps();
        std::jthread stopper = StopAfter(childStop, 500ms);
        auto start = Clock::now();
        if (silent.WaitForEvent(10s, childWake.Event()) != ChildEvent::Woken)
            return "the stop did not end the child's wait";
        if (Clock::now() - start > 3s || Sleeps() - before > 2)
            return "the child's wait woke " + std::to_string(Sleeps() - before) + " times";

        const Socket listener = TcpListen(kSandboxLoopback, 0, 0);
        std::vector<Socket> queued;
        if (!listener.Valid() || !FillListenQueue(listener, queued))
            return {};  // a system that refuses a full queue at once has nothing to wait on
        std::stop_source connectStop;
        before = Sleeps();
        stopper = StopAfter(connectStop, 500ms);
        start = Clock::now();
        const Socket waited =
            TcpConnect(kSandboxLoopback, LocalPort(listener), 10s, connectStop.get_token());
        if (waited.Valid() || errno != ECANCELED)
            return "the stop did not end the connect";
        if (Clock::now() - start > 3s || Sleeps() - before > 2)
            return "the connect's wait woke " + std::to_string(Sleeps() - before) + " times";
        return {};
    });
    EXPECT_EQ(failed, "");
}

}  // namespace
}  // namespace quarn::platform
