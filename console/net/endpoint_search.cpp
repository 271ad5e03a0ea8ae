#include "console/net/endpoint_search.h"

#include <chrono>
#include <ctime>
#include <optional>
#include <string>
#include <thread>

#include "console/net/broadcast_targets.h"
#include "console/net/endpoint_collector.h"
#include "platform/socket.h"
#include "platform/socket6.h"
#include "protocol/auth_messages.h"
#include "protocol/endpoint_facts.h"
#include "protocol/messages.h"

namespace quarn::console {

namespace {

constexpr int kProbesPerTarget = 3;
constexpr auto kPauseAfterFailedSend = std::chrono::milliseconds(100);

// Replies count for a probe only while the clock still shows the second it was sent in;
// a later reply stays queued for the next probe's window.
void CollectReplies(const platform::Socket& socket, EndPointCollector& collector,
                    const std::stop_token& stop) {
    const std::time_t sentAt = std::time(nullptr);
    while (std::time(nullptr) == sentAt && !stop.stop_requested()) {
        const platform::DatagramResult reply =
            platform::ReceiveFrom(socket, protocol::kMaxDatagram);
        if (reply.status != platform::RecvStatus::Data) {
            return;
        }
        collector.Add(reply.datagram.data, reply.datagram.addr);
    }
}

void ProbeTarget(uint32_t target, const DiscoveryOptions& options, const std::string& probeText,
                 EndPointCollector& collector, const std::stop_token& stop) {
    platform::Socket socket = platform::UdpSocket(true);
    if (!socket.Valid() || !platform::SetRecvTimeout(socket, options.replyTimeoutMs)) {
        return;
    }
    // Shutting the socket down ends a receive that waits for a reply.
    const std::stop_callback wake(stop, [&socket] { socket.ShutdownBoth(); });
    for (int probe = 0; probe < kProbesPerTarget && !stop.stop_requested(); ++probe) {
        if (!platform::SendTo(socket, probeText, target, options.port)) {
            std::this_thread::sleep_for(kPauseAfterFailedSend);
            continue;
        }
        // EndPoints that know it say what their links are; the others ignore it.
        platform::SendTo(socket, protocol::kFactsProbe, target, options.port);
        CollectReplies(socket, collector, stop);
    }
}

void CollectReplies6(const platform::Socket& socket, EndPointCollector& collector,
                     const std::stop_token& stop) {
    const std::time_t sentAt = std::time(nullptr);
    while (std::time(nullptr) == sentAt && !stop.stop_requested()) {
        const platform::Datagram6Result reply =
            platform::ReceiveFrom6(socket, protocol::kMaxDatagram);
        if (reply.status != platform::RecvStatus::Data) {
            return;
        }
        collector.Add(reply.datagram.data, reply.datagram.addr);
    }
}

// As ProbeTarget, over IPv6 to a group (or an address) on one interface.
void ProbeTarget6(const IpAddress& target, const DiscoveryOptions& options,
                  const std::string& probeText, EndPointCollector& collector,
                  const std::stop_token& stop) {
    platform::Socket socket = platform::UdpBind6(IpAddress::V6({}), 0);
    if (!socket.Valid() || !platform::SetRecvTimeout(socket, options.replyTimeoutMs)) {
        return;
    }
    const std::stop_callback wake(stop, [&socket] { socket.ShutdownBoth(); });
    for (int probe = 0; probe < kProbesPerTarget && !stop.stop_requested(); ++probe) {
        if (!platform::SendTo6(socket, probeText, target, options.port)) {
            std::this_thread::sleep_for(kPauseAfterFailedSend);
            continue;
        }
        platform::SendTo6(socket, protocol::kFactsProbe, target, options.port);
        CollectReplies6(socket, collector, stop);
    }
}

}  // namespace

std::vector<EndPointEntry> SearchEndPoints(const DiscoveryOptions& options,
                                           const std::stop_token& stop) {
    // With a key the probes carry a nonce that keyed EndPoints sign their replies over.
    std::optional<EndPointCollector::Signed> signedSearch;
    std::string probe(protocol::kProbe);
    if (options.labKey) {
        signedSearch = EndPointCollector::Signed{
            *options.labKey, labkey::ToHex(labkey::RandomBytes(labkey::kNonceBytes))};
        probe = protocol::FormatSignedProbe(signedSearch->nonce);
    }
    EndPointCollector collector(std::move(signedSearch));
    for (uint32_t target : BroadcastTargets(options)) {
        if (stop.stop_requested()) {
            break;
        }
        ProbeTarget(target, options, probe, collector, stop);
    }
    for (const IpAddress& target : Multicast6Targets(options)) {
        if (stop.stop_requested()) {
            break;
        }
        ProbeTarget6(target, options, probe, collector, stop);
    }
    return collector.Take();
}

}  // namespace quarn::console
