#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <vector>

#include "address/ip_address.h"

#include "console/core/rtt_statistics.h"

namespace quarn::console {

// When to send which round-trip probe to each End Point 2, and what the replies mean.
// Replies carry nothing of their probe, so a target has at most one probe outstanding and
// a reply from its address answers that one. A few probes go out back to back before the
// load, then one a second at most, so an EndPoint's per-source reply limit (a burst of 6,
// one more each second) never refuses one. No sockets: the prober drives it.
class RttProbeSchedule {
  public:
    using Clock = std::chrono::steady_clock;

    struct Options {
        int idleProbes = 3;
        // Idle probes go out only this long after the start.
        std::chrono::milliseconds idleWindow{1500};
        // Loaded probes start this long after the start.
        std::chrono::milliseconds loadStartsIn{3000};
        // Between two loaded probes to one target, at least.
        std::chrono::milliseconds period{1000};
        // A reply later than this is no round trip: the probe is lost.
        std::chrono::milliseconds timeout{1000};
    };

    RttProbeSchedule(std::vector<IpAddress> targets, const Options& options,
                     Clock::time_point start);

    // The targets to probe now; each then has a probe outstanding. Probes past their
    // time-out are counted lost first.
    std::vector<IpAddress> Due(Clock::time_point now);
    // A reply from `source`; true when it answered an outstanding probe.
    bool Reply(const IpAddress& source, Clock::time_point now);
    // The next time from `now` on that Due has anything to do.
    Clock::time_point NextEvent(Clock::time_point now) const;

    // Nothing for an address that is not a target. Without the loaded samples the record
    // is cheap to copy however long the run.
    std::optional<RttRecord> Record(const IpAddress& target, bool withLoadedSamples = true) const;
    // Probes sent to the target so far.
    int Sent(const IpAddress& target) const;

  private:
    struct Target {
        IpAddress address;
        RttRecord record;
        int idleSent = 0;
        int loadedSent = 0;
        std::optional<Clock::time_point> sentAt;
        bool sentIdle = false;
        Clock::time_point nextLoaded;
    };

    bool IdleOpen(const Target& target, Clock::time_point now) const;
    void ExpireProbe(Target& target, Clock::time_point now) const;
    const Target* Find(const IpAddress& address) const;

    Options options_;
    Clock::time_point start_;
    std::vector<Target> targets_;
};

}  // namespace quarn::console
