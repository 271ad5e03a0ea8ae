#include "endpoint/agent/probe_rate_limit.h"

#include <algorithm>

namespace quarn::agent {

ProbeRateLimit::ProbeRateLimit(const Limits& limits) : limits_(limits) {
    total_.tokens = limits_.totalBurst;
    total_.updated = Clock::time_point::min();
}

void ProbeRateLimit::Refill(Bucket& bucket, double burst, double perSecond, Clock::time_point now) {
    if (bucket.updated == Clock::time_point::min()) {
        bucket.updated = now;
        return;
    }
    if (now > bucket.updated) {
        const double seconds = std::chrono::duration<double>(now - bucket.updated).count();
        bucket.tokens = std::min(burst, bucket.tokens + seconds * perSecond);
        bucket.updated = now;
    }
}

void ProbeRateLimit::ForgetFullBuckets(Clock::time_point now) {
    for (auto it = sources_.begin(); it != sources_.end();) {
        Refill(it->second, limits_.perSourceBurst, limits_.perSourcePerSecond, now);
        it = it->second.tokens >= limits_.perSourceBurst ? sources_.erase(it) : std::next(it);
    }
}

bool ProbeRateLimit::Allow(const IpAddress& source, Clock::time_point now) {
    Refill(total_, limits_.totalBurst, limits_.totalPerSecond, now);
    // Under a flood the shared bucket is empty: refuse before any per-source work.
    if (total_.tokens < 1) {
        return false;
    }
    const IpAddress block = SourceBlock(source);
    auto found = sources_.find(block);
    if (found == sources_.end()) {
        if (sources_.size() >= limits_.maxSources) {
            ForgetFullBuckets(now);
            if (sources_.size() >= limits_.maxSources) {
                return false;
            }
        }
        found = sources_.emplace(block, Bucket{limits_.perSourceBurst, now}).first;
    }
    Bucket& own = found->second;
    Refill(own, limits_.perSourceBurst, limits_.perSourcePerSecond, now);
    if (own.tokens < 1 || total_.tokens < 1) {
        return false;
    }
    own.tokens -= 1;
    total_.tokens -= 1;
    return true;
}

}  // namespace quarn::agent
