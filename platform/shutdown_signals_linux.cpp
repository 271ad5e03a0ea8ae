#include "platform/shutdown_signals.h"

#include <signal.h>

#include <cerrno>
#include <ctime>
#include <thread>

namespace quarn::platform {

struct ShutdownSignals::State {
    sigset_t signals{};
    bool valid = false;
    std::jthread waiter;
};

ShutdownSignals::ShutdownSignals(std::function<void()> onSignal) : state_(new State) {
    sigemptyset(&state_->signals);
    sigaddset(&state_->signals, SIGINT);
    sigaddset(&state_->signals, SIGTERM);
    if (pthread_sigmask(SIG_BLOCK, &state_->signals, nullptr) != 0) {
        return;
    }
    state_->valid = true;
    state_->waiter = std::jthread(
        [signals = state_->signals, onSignal = std::move(onSignal)](std::stop_token stop) {
            // Short waits, so the destructor's stop request is seen promptly.
            const timespec slice{0, 100'000'000};
            while (!stop.stop_requested()) {
                if (sigtimedwait(&signals, nullptr, &slice) > 0) {
                    onSignal();
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
