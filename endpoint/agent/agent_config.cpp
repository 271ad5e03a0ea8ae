#include "endpoint/agent/agent_config.h"

#include <charconv>
#include <cstring>

namespace quarn::agent {

std::chrono::milliseconds StalledPeerLimitFrom(const char* environmentValue) {
    if (environmentValue == nullptr) {
        return kStalledPeerLimit;
    }
    const char* end = environmentValue + std::strlen(environmentValue);
    long long ms = 0;
    const auto parsed = std::from_chars(environmentValue, end, ms);
    if (parsed.ec != std::errc() || parsed.ptr != end || ms <= 0 ||
        ms >= kStalledPeerLimit.count()) {
        return kStalledPeerLimit;
    }
    return std::chrono::milliseconds(ms);
}

}  // namespace quarn::agent
