#pragma once

#include <cstdint>
#include <mutex>
#include <optional>
#include <stop_token>
#include <thread>
#include <vector>

#include "console/net/rtt_probe_schedule.h"
#include "platform/socket.h"
#include "platform/socket6.h"
#include "platform/wake_event.h"
#include "protocol/messages.h"

namespace quarn::console {

// Measures the round trip to End Points with the discovery probe every EndPoint answers:
// a unicast "hello" to its discovery port, the reply matched by its source address and
// port. One thread per run; nothing but probes is ever sent.
class RttProber {
  public:
    struct Options {
        std::uint16_t port = protocol::kDiscoveryPort;
        RttProbeSchedule::Options schedule;
    };

    // Opens the sockets on the calling thread (and so in its network namespace) and
    // starts probing; without a socket nothing is probed and every record stays empty.
    RttProber(std::vector<IpAddress> targets, const Options& options);
    ~RttProber();
    RttProber(const RttProber&) = delete;
    RttProber& operator=(const RttProber&) = delete;

    // Ends the probing and joins the thread; the records stay readable. Idempotent.
    void Stop();
    // Any thread.
    std::optional<RttRecord> Record(const IpAddress& target, bool withLoadedSamples = true) const;
    int Sent(const IpAddress& target) const;

  private:
    void Run(const std::stop_token& stop);
    void SendDue();
    void ReceiveUntil(RttProbeSchedule::Clock::time_point until, const platform::StopWake& wake);
    bool TakeReply(const platform::Socket& socket);

    Options options_;
    platform::Socket socket_;
    platform::Socket socket6_;  // only when a target is IPv6
    mutable std::mutex mutex_;
    RttProbeSchedule schedule_;
    std::jthread thread_;  // last: stops and joins before the rest goes
};

}  // namespace quarn::console
