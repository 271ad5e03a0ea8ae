#include "console/net/rtt_prober.h"

#include <poll.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <system_error>

#include "platform/deadline.h"

namespace quarn::console {
namespace {

using Clock = RttProbeSchedule::Clock;

bool AnyV6(const std::vector<IpAddress>& targets) {
    return std::any_of(targets.begin(), targets.end(),
                       [](const IpAddress& target) { return target.IsV6(); });
}

}  // namespace

RttProber::RttProber(std::vector<IpAddress> targets, const Options& options)
    : options_(options),
      socket_(platform::UdpSocket(/*broadcast=*/false)),
      socket6_(AnyV6(targets) ? platform::UdpBind6(IpAddress::V6({}), 0) : platform::Socket()),
      schedule_(std::move(targets), options.schedule, Clock::now()) {
    if (!socket_.Valid() && !socket6_.Valid()) {
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

std::optional<RttRecord> RttProber::Record(const IpAddress& target, bool withLoadedSamples) const {
    const std::lock_guard lock(mutex_);
    return schedule_.Record(target, withLoadedSamples);
}

int RttProber::Sent(const IpAddress& target) const {
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
    std::vector<IpAddress> due;
    {
        const std::lock_guard lock(mutex_);
        due = schedule_.Due(Clock::now());
    }
    for (const IpAddress& target : due) {
        // A probe that cannot be sent simply gets no reply and counts as lost.
        if (target.IsV4())
            platform::SendTo(socket_, protocol::kProbe, target.V4Value(), options_.port);
        else
            platform::SendTo6(socket6_, protocol::kProbe, target, options_.port);
    }
}

// Sleeps until a reply, the next probe or the stop. poll() skips a missing socket's -1.
void RttProber::ReceiveUntil(Clock::time_point until, const platform::StopWake& wake) {
    const int wakeFd = wake.Event().Fd();
    while (!wake.Event().IsSet()) {
        int left = platform::PollTimeoutMs(until);
        if (wakeFd < 0) {
            left = std::min(left, 100);  // no eventfd: look at the stop often
        }
        pollfd ready[3] = {
            {socket_.Fd(), POLLIN, 0}, {socket6_.Fd(), POLLIN, 0}, {wakeFd, POLLIN, 0}};
        if (left <= 0 || ::poll(ready, 3, left) <= 0 ||
            (ready[0].revents == 0 && ready[1].revents == 0)) {
            return;
        }
        if ((ready[0].revents != 0 && TakeReply(socket_)) ||
            (ready[1].revents != 0 && TakeReply(socket6_))) {
            return;  // a reply can make the next probe due at once
        }
    }
}

// Reads one datagram; true when it answered an outstanding probe or the socket failed.
bool RttProber::TakeReply(const platform::Socket& socket) {
    const bool v6 = &socket == &socket6_;
    std::optional<IpAddress> from;
    std::string data;
    uint16_t port = 0;
    if (v6) {
        platform::Datagram6Result received = platform::ReceiveFrom6(socket, protocol::kMaxDatagram);
        if (received.status != platform::RecvStatus::Data)
            return true;
        from = received.datagram.addr;
        data = std::move(received.datagram.data);
        port = received.datagram.port;
    } else {
        platform::DatagramResult received = platform::ReceiveFrom(socket, protocol::kMaxDatagram);
        if (received.status != platform::RecvStatus::Data)
            return true;
        from = IpAddress::V4(received.datagram.addr);
        data = std::move(received.datagram.data);
        port = received.datagram.port;
    }
    const Clock::time_point arrived = Clock::now();
    // Only the discovery port answers probes; anything else from the host is not a reply.
    if (port != options_.port || data.empty())
        return false;
    const std::lock_guard lock(mutex_);
    return schedule_.Reply(*from, arrived);
}

}  // namespace quarn::console
