#include "console/core/event_loop.h"

#include <algorithm>

namespace quarn::console {

EventLoop::~EventLoop() {
    Close();
}

bool EventLoop::RunUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    // Wake now and then: `done` may also depend on what other threads change.
    return Run(done, timeout, kRecheckInterval);
}

bool EventLoop::RunUntilCalled(const std::function<bool()>& done,
                               std::chrono::milliseconds timeout) {
    return Run(done, timeout, timeout);
}

bool EventLoop::Run(const std::function<bool()>& done, std::chrono::milliseconds timeout,
                    std::chrono::milliseconds recheck) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        const auto now = std::chrono::steady_clock::now();
        const auto wake = recheck < deadline - now ? now + recheck : deadline;
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
