#include "platform/deadline.h"

#include <climits>

namespace quarn::platform {

int PollTimeoutMs(SteadyClock::time_point deadline, SteadyClock::time_point now) {
    if (deadline <= now) {
        return 0;
    }
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - now).count();
    return left > INT_MAX ? INT_MAX : static_cast<int>(left);
}

}  // namespace quarn::platform
