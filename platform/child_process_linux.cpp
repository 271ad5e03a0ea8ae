#include "platform/child_process.h"

#include <fcntl.h>
#include <linux/close_range.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <utility>

#include "platform/deadline.h"

extern char** environ;

namespace quarn::platform {
namespace {

using Clock = std::chrono::steady_clock;

int OpenPidFd(pid_t pid) {
#ifdef SYS_pidfd_open
    const long fd = syscall(SYS_pidfd_open, pid, 0);
    if (fd >= 0) {
        fcntl(static_cast<int>(fd), F_SETFD, FD_CLOEXEC);
    }
    return static_cast<int>(fd);
#else
    (void)pid;
    return -1;
#endif
}

std::string_view EnvName(std::string_view entry) {
    return entry.substr(0, entry.find('='));
}

// The parent's environment with extraEnv replacing entries of the same name.
std::vector<std::string> MergedEnvironment(const std::vector<std::string>& extraEnv) {
    std::vector<std::string> merged;
    for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry) {
        const std::string_view name = EnvName(*entry);
        bool overridden = false;
        for (const std::string& extra : extraEnv) {
            overridden = overridden || EnvName(extra) == name;
        }
        if (!overridden) {
            merged.emplace_back(*entry);
        }
    }
    merged.insert(merged.end(), extraEnv.begin(), extraEnv.end());
    return merged;
}

std::vector<char*> PointerArray(std::vector<std::string>& strings) {
    std::vector<char*> pointers;
    pointers.reserve(strings.size() + 1);
    for (std::string& text : strings) {
        pointers.push_back(text.data());
    }
    pointers.push_back(nullptr);
    return pointers;
}

// Runs in the forked child before exec: only async-signal-safe calls, no allocation.
[[noreturn]] void ExecChild(pid_t parent, const char* path, char* const argv[], char* const envp[],
                            int outFd, int errorFd) {
    // Our iperf children must not outlive us, even when we are killed: the kernel sends
    // SIGKILL once the spawning thread ends, and every caller keeps that thread until
    // its child has ended.
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != parent) {
        _exit(127);
    }
    struct sigaction defaults {};
    defaults.sa_handler = SIG_DFL;
    for (int signal = 1; signal < NSIG; ++signal) {
        if (signal != SIGKILL && signal != SIGSTOP) {
            sigaction(signal, &defaults, nullptr);
        }
    }
    sigset_t empty;
    sigemptyset(&empty);
    sigprocmask(SIG_SETMASK, &empty, nullptr);
    const int devNull = open("/dev/null", O_RDONLY);
    if (devNull < 0 || dup2(devNull, STDIN_FILENO) < 0 || dup2(outFd, STDOUT_FILENO) < 0 ||
        dup2(outFd, STDERR_FILENO) < 0) {
        const int error = errno;
        (void)!write(errorFd, &error, sizeof error);
        _exit(127);
    }
    // Nothing else is inherited; the error pipe closes itself on a successful exec.
    if (close_range(STDERR_FILENO + 1, ~0U, CLOSE_RANGE_CLOEXEC) != 0) {
        for (int fd = STDERR_FILENO + 1; fd < 65536; ++fd) {
            fcntl(fd, F_SETFD, FD_CLOEXEC);
        }
    }
    execve(path, argv, envp);
    const int error = errno;
    (void)!write(errorFd, &error, sizeof error);
    _exit(127);
}

// Forks and execs; 0 with the child's pid, or the errno of what failed (exec included).
int Spawn(char* const argv[], char* const envp[], int outFd, pid_t& pid) {
    int errorPipe[2];
    if (pipe2(errorPipe, O_CLOEXEC) != 0) {
        return errno;
    }
    const pid_t parent = getpid();
    pid = fork();
    if (pid == 0) {
        ExecChild(parent, argv[0], argv, envp, outFd, errorPipe[1]);
    }
    const int forkError = errno;
    close(errorPipe[1]);
    if (pid < 0) {
        close(errorPipe[0]);
        return forkError;
    }
    int execError = 0;
    ssize_t got;
    do {
        got = read(errorPipe[0], &execError, sizeof execError);
    } while (got < 0 && errno == EINTR);
    close(errorPipe[0]);
    if (got == static_cast<ssize_t>(sizeof execError)) {
        waitpid(pid, nullptr, 0);
        return execError;
    }
    return 0;
}

}  // namespace

ChildProcess::ChildProcess(ChildProcess&& other) noexcept
    : pid_(std::exchange(other.pid_, -1)),
      pipeFd_(std::exchange(other.pipeFd_, -1)),
      pidFd_(std::exchange(other.pidFd_, -1)),
      reaped_(std::exchange(other.reaped_, false)),
      waitStatus_(std::exchange(other.waitStatus_, -1)) {}

ChildProcess& ChildProcess::operator=(ChildProcess&& other) noexcept {
    if (this != &other) {
        Reset();
        pid_ = std::exchange(other.pid_, -1);
        pipeFd_ = std::exchange(other.pipeFd_, -1);
        pidFd_ = std::exchange(other.pidFd_, -1);
        reaped_ = std::exchange(other.reaped_, false);
        waitStatus_ = std::exchange(other.waitStatus_, -1);
    }
    return *this;
}

void ChildProcess::CloseFds() {
    if (pipeFd_ >= 0) {
        close(pipeFd_);
        pipeFd_ = -1;
    }
    if (pidFd_ >= 0) {
        close(pidFd_);
        pidFd_ = -1;
    }
}

bool ChildProcess::Start(const std::vector<std::string>& argv,
                         const std::vector<std::string>& extraEnv) {
    Reset();
    if (argv.empty()) {
        errno = EINVAL;
        return false;
    }
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
        return false;
    }
    std::vector<std::string> args = argv;
    std::vector<std::string> env = MergedEnvironment(extraEnv);
    std::vector<char*> argPointers = PointerArray(args);
    std::vector<char*> envPointers = PointerArray(env);
    pid_t pid = -1;
    const int result = Spawn(argPointers.data(), envPointers.data(), fds[1], pid);
    close(fds[1]);
    if (result != 0) {
        close(fds[0]);
        errno = result;
        return false;
    }
    fcntl(fds[0], F_SETFL, fcntl(fds[0], F_GETFL) | O_NONBLOCK);
    pid_ = pid;
    pipeFd_ = fds[0];
    pidFd_ = OpenPidFd(pid);
    return true;
}

long ChildProcess::ReadAvailable(char* buf, size_t max) {
    if (pipeFd_ < 0) {
        return -1;
    }
    ssize_t got;
    do {
        got = read(pipeFd_, buf, max);
    } while (got < 0 && errno == EINTR);
    if (got > 0) {
        return static_cast<long>(got);
    }
    if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
        return 0;
    }
    // End of file: every writer (the child and anything it started) has gone.
    close(pipeFd_);
    pipeFd_ = -1;
    return -1;
}

bool ChildProcess::WaitForOutputOrExit(int timeoutMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (true) {
        if (pipeFd_ < 0 && !Running()) {
            return false;
        }
        const int waitMs = PollTimeoutMs(deadline);
        pollfd fds[2];
        nfds_t count = 0;
        if (pipeFd_ >= 0) {
            fds[count++] = {pipeFd_, POLLIN, 0};
        }
        const bool watchExit = pidFd_ >= 0 && Running();
        if (watchExit) {
            fds[count++] = {pidFd_, POLLIN, 0};
        }
        // Without a pidfd the exit is noticed by polling in short slices.
        const int sliceMs = watchExit || !Running() ? waitMs : std::min(waitMs, 10);
        const int ready = count > 0 ? poll(fds, count, sliceMs) : poll(nullptr, 0, sliceMs);
        if (ready < 0 && errno != EINTR) {
            return false;
        }
        if (ready > 0 && pipeFd_ >= 0 && fds[0].fd == pipeFd_) {
            if (fds[0].revents & POLLIN) {
                return true;
            }
            if (fds[0].revents & (POLLHUP | POLLERR)) {
                close(pipeFd_);
                pipeFd_ = -1;
            }
        }
        if (Exited()) {
            return false;
        }
        if (Clock::now() >= deadline) {
            return false;
        }
    }
}

namespace {

constexpr short kHangUp = POLLRDHUP | POLLHUP | POLLERR | POLLNVAL;

// Without a descriptor to sleep on, a wait comes back this often to look again.
constexpr int kFallbackSliceMs = 100;

// Without a pidfd the exit is looked for again after each slice: from 1 ms, as the exit
// usually follows the hang-up of the output at once, doubling up to kFallbackSliceMs.
int NextSliceMs(int sliceMs) {
    return std::min(sliceMs * 2, kFallbackSliceMs);
}

}  // namespace

ChildEvent ChildProcess::WaitForEvent(std::chrono::milliseconds timeout, const WakeEvent& wake,
                                      const Socket* peer) {
    const auto deadline = Clock::now() + timeout;
    int sliceMs = 1;
    while (true) {
        if (wake.IsSet()) {
            return ChildEvent::Woken;
        }
        if (pipeFd_ < 0 && Exited()) {
            return ChildEvent::Exited;
        }
        pollfd fds[4];
        nfds_t count = 0;
        const auto add = [&](int fd, short events) {
            fds[count] = {fd, events, 0};
            return &fds[count++];
        };
        pollfd* output = pipeFd_ >= 0 ? add(pipeFd_, POLLIN) : nullptr;
        pollfd* exit = pidFd_ >= 0 && Running() ? add(pidFd_, POLLIN) : nullptr;
        pollfd* hangUp = peer != nullptr ? add(peer->Fd(), POLLRDHUP) : nullptr;
        pollfd* woken = wake.Fd() >= 0 ? add(wake.Fd(), POLLIN) : nullptr;
        int waitMs = PollTimeoutMs(deadline);
        if (woken == nullptr) {
            waitMs = std::min(waitMs, kFallbackSliceMs);
        }
        // Without a pidfd, the output's hang-up comes with the exit; once it has come,
        // the exit is looked for in slices.
        if (exit == nullptr && output == nullptr && Running()) {
            waitMs = std::min(waitMs, sliceMs);
            sliceMs = NextSliceMs(sliceMs);
        }
        const int ready = poll(fds, count, waitMs);
        if (ready < 0 && errno != EINTR) {
            return ChildEvent::Woken;  // nothing left to wait with: end like a stop
        }
        if (woken != nullptr && woken->revents != 0) {
            return ChildEvent::Woken;
        }
        if (hangUp != nullptr && (hangUp->revents & kHangUp) != 0) {
            return ChildEvent::PeerGone;
        }
        if (output != nullptr && (output->revents & POLLIN) != 0) {
            return ChildEvent::Output;
        }
        if (output != nullptr && (output->revents & (POLLHUP | POLLERR)) != 0) {
            close(pipeFd_);
            pipeFd_ = -1;
        }
        if ((exit == nullptr || exit->revents != 0) && Exited()) {
            return ChildEvent::Exited;
        }
        if (Clock::now() >= deadline) {
            return ChildEvent::TimedOut;
        }
    }
}

bool ChildProcess::Reap(int options) {
    if (pid_ <= 0) {
        return true;
    }
    if (reaped_) {
        return true;
    }
    int status = 0;
    pid_t result;
    do {
        result = waitpid(pid_, &status, options);
    } while (result < 0 && errno == EINTR);
    if (result == pid_ || (result < 0 && errno == ECHILD)) {
        reaped_ = true;
        waitStatus_ = result == pid_ ? status : -1;
        if (pidFd_ >= 0) {
            close(pidFd_);
            pidFd_ = -1;
        }
    }
    return reaped_;
}

bool ChildProcess::Exited() {
    return Reap(WNOHANG);
}

bool ChildProcess::WaitExit(int timeoutMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    int sliceMs = 1;
    bool hungUp = pipeFd_ < 0;
    while (!Exited()) {
        const int leftMs = PollTimeoutMs(deadline);
        if (leftMs == 0) {
            return false;
        }
        if (pidFd_ >= 0) {
            pollfd pfd{pidFd_, POLLIN, 0};
            poll(&pfd, 1, leftMs);
        } else if (!hungUp) {
            // No events asked for: only the hang-up wakes it, not output left unread
            // (which stays for the caller).
            pollfd pfd{pipeFd_, 0, 0};
            hungUp = poll(&pfd, 1, leftMs) > 0;
        } else {
            poll(nullptr, 0, std::min(leftMs, sliceMs));
            sliceMs = NextSliceMs(sliceMs);
        }
    }
    return true;
}

void ChildProcess::Terminate() {
    if (!Running() || Exited()) {
        return;
    }
    // The pid cannot be reused before we reap it, so this never hits another process.
    kill(pid_, SIGKILL);
    Reap(0);
}

}  // namespace quarn::platform
