#include "console/net/rtt_prober.h"

#include <poll.h>

#include <algorithm>
#include <chrono>
#include <system_error>

#include "platform/deadline.h"

namespace quarn::console {
namespace {

using Clock = RttProbeSchedule::Clock;

}  // namespace

RttProber::RttProber(std::vector<std::uint32_t> targets, const Options& options)
    : options_(options),
      socket_(platform::UdpSocket(/*broadcast=*/false)),
      schedule_(std::move(targets), options.schedule, Clock::now()) {
    if (!socket_.Valid()) {
        return;
    }
    try {
        thread_ = std::jthread([this](const std::stop_token& stop) { Run(stop); });
    } catch (const std::system_error&) {
        // No thread, no figures: the run goes on without them.
    }
}

RttProber::~RttProber() {
    Stop();
}

void RttProber::Stop() {
    if (thread_.joinable()) {
        thread_.request_stop();
        thread_.join();
    }
}

std::optional<RttRecord> RttProber::Record(std::uint32_t target, bool withLoadedSamples) const {
    const std::lock_guard lock(mutex_);
    return schedule_.Record(target, withLoadedSamples);
}

int RttProber::Sent(std::uint32_t target) const {
    const std::lock_guard lock(mutex_);
    return schedule_.Sent(target);
}

void RttProber::Run(const std::stop_token& stop) {
    const platform::StopWake wake(stop);
    while (!stop.stop_requested()) {
        SendDue();
        Clock::time_point next;
        {
            const std::lock_guard lock(mutex_);
            next = schedule_.NextEvent(Clock::now());
        }
        ReceiveUntil(next, wake);
    }
}

void RttProber::SendDue() {
    std::vector<std::uint32_t> due;
    {
        const std::lock_guard lock(mutex_);
        due = schedule_.Due(Clock::now());
    }
    for (const std::uint32_t target : due) {
        // A probe that cannot be sent simply gets no reply and counts as lost.
        platform::SendTo(socket_, protocol::kProbe, target, options_.port);
    }
}

// Sleeps until a reply, the next probe or the stop.
void RttProber::ReceiveUntil(Clock::time_point until, const platform::StopWake& wake) {
    const int wakeFd = wake.Event().Fd();
    while (!wake.Event().IsSet()) {
        int left = platform::PollTimeoutMs(until);
        if (wakeFd < 0) {
            left = std::min(left, 100);  // no eventfd: look at the stop often
        }
        pollfd ready[2] = {{socket_.Fd(), POLLIN, 0}, {wakeFd, POLLIN, 0}};
        if (left <= 0 || ::poll(ready, wakeFd >= 0 ? 2 : 1, left) <= 0 || ready[0].revents == 0) {
            return;
        }
        const platform::DatagramResult received =
            platform::ReceiveFrom(socket_, protocol::kMaxDatagram);
        const Clock::time_point arrived = Clock::now();
        if (received.status != platform::RecvStatus::Data) {
            return;
        }
        // Only the discovery port answers probes; anything else from the host is not a reply.
        if (received.datagram.port == options_.port && !received.datagram.data.empty()) {
            const std::lock_guard lock(mutex_);
            if (schedule_.Reply(received.datagram.addr, arrived)) {
                return;  // a reply can make the next probe due at once
            }
        }
    }
}

}  // namespace quarn::console
