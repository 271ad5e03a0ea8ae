#include "console/net/endpoint_search.h"

#include <chrono>
#include <ctime>
#include <thread>

#include "console/net/broadcast_targets.h"
#include "console/net/endpoint_collector.h"
#include "platform/socket.h"
#include "protocol/endpoint_facts.h"
#include "protocol/messages.h"

namespace quarn::console {

namespace {

constexpr int kProbesPerTarget = 3;
constexpr auto kPauseAfterFailedSend = std::chrono::milliseconds(100);

bool Cancelled(const std::atomic<bool>* cancel) {
    return cancel != nullptr && cancel->load();
}

// Replies count for a probe only while the clock still shows the second it was sent in;
// a later reply stays queued for the next probe's window.
void CollectReplies(const platform::Socket& socket, EndPointCollector& collector,
                    const std::atomic<bool>* cancel) {
    const std::time_t sentAt = std::time(nullptr);
    while (std::time(nullptr) == sentAt && !Cancelled(cancel)) {
        const platform::DatagramResult reply =
            platform::ReceiveFrom(socket, protocol::kMaxDatagram);
        if (reply.status != platform::RecvStatus::Data) {
            return;
        }
        collector.Add(reply.datagram.data);
    }
}

void ProbeTarget(uint32_t target, const DiscoveryOptions& options, EndPointCollector& collector,
                 const std::atomic<bool>* cancel) {
    platform::Socket socket = platform::UdpSocket(true);
    if (!socket.Valid() || !platform::SetRecvTimeout(socket, options.replyTimeoutMs)) {
        return;
    }
    for (int probe = 0; probe < kProbesPerTarget && !Cancelled(cancel); ++probe) {
        if (!platform::SendTo(socket, protocol::kProbe, target, options.port)) {
            std::this_thread::sleep_for(kPauseAfterFailedSend);
            continue;
        }
        // EndPoints that know it say what their links are; the others ignore it.
        platform::SendTo(socket, protocol::kFactsProbe, target, options.port);
        CollectReplies(socket, collector, cancel);
    }
}

}  // namespace

std::vector<EndPointEntry> SearchEndPoints(const DiscoveryOptions& options,
                                           const std::atomic<bool>* cancel) {
    EndPointCollector collector;
    for (uint32_t target : BroadcastTargets(options)) {
        if (Cancelled(cancel)) {
            break;
        }
        ProbeTarget(target, options, collector, cancel);
    }
    return collector.Take();
}

}  // namespace quarn::console
