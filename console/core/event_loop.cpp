#include "console/core/event_loop.h"

#include <algorithm>

namespace quarn::console {

EventLoop::~EventLoop() {
    Close();
}

bool EventLoop::RunUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        // Wake now and then: `done` may also depend on what other threads change.
        const auto wake = std::min(deadline, std::chrono::steady_clock::now() + kRecheckInterval);
        if (queue_.RunOne(wake)) {
            continue;
        }
        const bool quit = queue_.TakeInterrupt();
        if (quit || queue_.Closed() || std::chrono::steady_clock::now() >= deadline) {
            break;
        }
    }
    return done();
}

void EventLoop::RunFor(std::chrono::milliseconds duration) {
    RunUntil([] { return false; }, duration);
}

}  // namespace quarn::console
