#pragma once

#include <chrono>

namespace quarn::platform {

using SteadyClock = std::chrono::steady_clock;

// Whole milliseconds for poll() until deadline, rounded up: a wait truncated to 0 while
// time is still left would return at once and turn the caller's loop into a spin.
// 0 once the deadline has passed.
int PollTimeoutMs(SteadyClock::time_point deadline, SteadyClock::time_point now);
inline int PollTimeoutMs(SteadyClock::time_point deadline) {
    return PollTimeoutMs(deadline, SteadyClock::now());
}

}  // namespace quarn::platform
