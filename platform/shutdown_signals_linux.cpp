#include "platform/shutdown_signals.h"

#include <poll.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cerrno>
#include <thread>

#include "platform/wake_event.h"

namespace quarn::platform {
namespace {

// Sleeps until one of the signals arrives (its number) or the stop is requested (0).
int AwaitSignal(int signalFd, const sigset_t& signals, const std::stop_token& stop) {
    const StopWake wake(stop);
    while (!stop.stop_requested()) {
        if (signalFd < 0) {
            // No signalfd: wait in slices the stop can interrupt.
            const timespec slice{0, 100'000'000};
            const int signal = sigtimedwait(&signals, nullptr, &slice);
            if (signal > 0) {
                return signal;
            }
            continue;
        }
        pollfd fds[2] = {{signalFd, POLLIN, 0}, {wake.Event().Fd(), POLLIN, 0}};
        if (poll(fds, wake.Event().Fd() >= 0 ? 2 : 1, wake.Event().Fd() >= 0 ? -1 : 100) < 0 &&
            errno != EINTR) {
            return 0;
        }
        signalfd_siginfo info{};
        if ((fds[0].revents & POLLIN) != 0 &&
            read(signalFd, &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
            return static_cast<int>(info.ssi_signo);
        }
    }
    return 0;
}

}  // namespace

struct ShutdownSignals::State {
    sigset_t signals{};
    int signalFd = -1;
    bool valid = false;
    std::jthread waiter;  // last: stops and joins before the descriptor closes

    ~State() {
        waiter = {};
        if (signalFd >= 0) {
            close(signalFd);
        }
    }
};

ShutdownSignals::ShutdownSignals(std::function<void()> onSignal)
    : ShutdownSignals(
          [onSignal = std::move(onSignal)](int) {
              onSignal();
              return false;
          },
          0) {}

ShutdownSignals::ShutdownSignals(EverySignal, std::function<void(int signal)> onSignal)
    : ShutdownSignals(
          [onSignal = std::move(onSignal)](int signal) {
              onSignal(signal);
              return true;
          },
          0) {}

ShutdownSignals::ShutdownSignals(std::function<bool(int signal)> onSignal, int)
    : state_(new State) {
    sigemptyset(&state_->signals);
    sigaddset(&state_->signals, SIGINT);
    sigaddset(&state_->signals, SIGTERM);
    if (pthread_sigmask(SIG_BLOCK, &state_->signals, nullptr) != 0) {
        return;
    }
    state_->valid = true;
    state_->signalFd = signalfd(-1, &state_->signals, SFD_CLOEXEC | SFD_NONBLOCK);
    state_->waiter = std::jthread([fd = state_->signalFd, signals = state_->signals,
                                   onSignal = std::move(onSignal)](std::stop_token stop) {
        while (const int signal = AwaitSignal(fd, signals, stop)) {
            if (!onSignal(signal)) {
                return;
            }
        }
    });
}

ShutdownSignals::~ShutdownSignals() = default;

bool ShutdownSignals::Valid() const {
    return state_->valid;
}

}  // namespace quarn::platform
