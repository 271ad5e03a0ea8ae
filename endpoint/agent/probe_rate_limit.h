#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <map>

#include "address/ip_address.h"

namespace quarn::agent {

// Decides which probes get replies, so that the responder cannot be used to multiply a
// flood of small probes. Token buckets: one per source (an IPv6 one by its /64) and one for
// all sources.
// A Console's search (three probes per broadcast address within about three seconds) fits
// a source's bucket twice over; the shared bucket holds many such searches at once.
class ProbeRateLimit {
  public:
    using Clock = std::chrono::steady_clock;

    struct Limits {
        double perSourceBurst = 6;
        double perSourcePerSecond = 1;
        double totalBurst = 64;
        double totalPerSecond = 16;
        // Sources remembered at once; a new source beyond that is answered only when a
        // remembered one has refilled completely and can be forgotten.
        size_t maxSources = 1024;
    };

    ProbeRateLimit() : ProbeRateLimit(Limits{}) {}
    explicit ProbeRateLimit(const Limits& limits);

    // True when a probe from source, arriving at now, is to be answered; it then uses
    // one token of each bucket. Not thread-safe (the responder's thread alone uses it).
    bool Allow(const IpAddress& source, Clock::time_point now);
    bool Allow(uint32_t source, Clock::time_point now) { return Allow(IpAddress::V4(source), now); }

  private:
    struct Bucket {
        double tokens = 0;
        Clock::time_point updated;
    };

    static void Refill(Bucket& bucket, double burst, double perSecond, Clock::time_point now);
    void ForgetFullBuckets(Clock::time_point now);

    Limits limits_;
    Bucket total_;
    std::map<IpAddress, Bucket> sources_;  // by SourceBlock
};

}  // namespace quarn::agent
