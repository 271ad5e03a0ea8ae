#include "endpoint/agent/discovery_responder.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include "address/ip_address.h"
#include "address/ipv4.h"
#include "endpoint/agent/facts_replies.h"
#include "platform/text_encoding.h"
#include "protocol/auth_messages.h"
#include "protocol/endpoint_facts.h"
#include "protocol/messages.h"
#include "protocol/probe_reply.h"

namespace quarn::agent {

namespace {

// Names go out as UTF-8 (marked as such unless plain ASCII), whatever our locale is.
std::string NetworkName(const std::string& name) {
    return platform::IsValidUtf8(name) ? name : platform::Utf16ToUtf8(platform::Utf8ToUtf16(name));
}

}  // namespace

std::vector<std::string> ProbeReplies(const std::vector<platform::Adapter>& adapters,
                                      const std::string& name, uint16_t controlPort) {
    const std::string networkName = NetworkName(name);
    std::vector<std::string> replies;
    for (const platform::Adapter& adapter : adapters) {
        replies.push_back(protocol::FormatProbeReply(
            FormatIpv4(adapter.address), protocol::kDefaultIperfPort, controlPort, networkName));
    }
    return replies;
}

std::vector<std::string> ProbeReplies6(const std::vector<platform::Interface6Address>& adapters,
                                       const std::string& name, uint16_t controlPort) {
    const std::string networkName = NetworkName(name);
    std::vector<std::string> replies;
    for (const platform::Interface6Address& adapter : adapters) {
        // Without a zone: a link-local address takes the Console's own interface as its zone.
        replies.push_back(protocol::FormatProbeReply(FormatIpAddress(adapter.address),
                                                     protocol::kDefaultIperfPort, controlPort,
                                                     networkName));
    }
    return replies;
}

bool DiscoveryResponder::Bind() {
    socket_ = platform::UdpBind(state_.Config().bindAddress, state_.Config().discoveryPort,
                                /*broadcast=*/true);
    // No receive timeout: Wake() shuts the socket down, which ends a blocked receive.
    if (socket_.Valid()) {
        Bind6();
    }
    return socket_.Valid();
}

void DiscoveryResponder::Run() {
    while (!state_.ShuttingDown()) {
        const platform::DatagramResult received =
            platform::ReceiveFrom(socket_, protocol::kMaxDatagram);
        if (received.status != platform::RecvStatus::Data || state_.ShuttingDown()) {
            continue;
        }
        const platform::Datagram& datagram = received.datagram;
        // Within limits like those of "hello": the replies are of the same size.
        const IpAddress source = IpAddress::V4(datagram.addr);
        if (protocol::IsFactsProbe(datagram.data)) {
            if (Allowed(factsLimit_, source))
                AnswerFacts(datagram);
            continue;
        }
        switch (protocol::ClassifyDatagram(datagram.data)) {
            case protocol::DatagramKind::Probe:
                if (Allowed(rateLimit_, source)) {
                    Answer(datagram);
                }
                break;
            case protocol::DatagramKind::Restart:
                if (RestartAllowed(datagram.data, source)) {
                    onRestart_();
                }
                break;
            case protocol::DatagramKind::Other:
                break;
        }
    }
}

bool DiscoveryResponder::Allowed(ProbeRateLimit& limit, const IpAddress& source) {
    std::lock_guard lock(limitsMutex_);
    return limit.Allow(source, ProbeRateLimit::Clock::now());
}

bool DiscoveryResponder::UnkeyedRestartAllowed(const IpAddress& source) {
    const ProbeRateLimit::Clock::time_point now = ProbeRateLimit::Clock::now();
    std::lock_guard lock(limitsMutex_);
    if (lastUnkeyedRestart_ && now - *lastUnkeyedRestart_ < kUnkeyedRestartGap) {
        return false;
    }
    if (!restartLimit_.Allow(source, now)) {
        return false;
    }
    lastUnkeyedRestart_ = now;
    return true;
}

bool DiscoveryResponder::RestartAllowed(const std::string& data, const IpAddress& source) {
    if (!state_.Config().labKey) {
        return UnkeyedRestartAllowed(source);
    }
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    std::lock_guard lock(limitsMutex_);
    return restartGuard_.Allows(data,
                                std::chrono::duration_cast<std::chrono::seconds>(now).count());
}

std::vector<std::string> DiscoveryResponder::SignedReplies(const std::vector<std::string>& replies,
                                                           const std::string& probe) const {
    // A keyed Console's probe carries a nonce: each reply is followed by its signature.
    const std::optional<labkey::LabKey>& key = state_.Config().labKey;
    const std::optional<std::string> nonce = key ? protocol::ParseSignedProbe(probe) : std::nullopt;
    std::vector<std::string> out;
    for (const std::string& reply : replies) {
        out.push_back(reply);
        if (nonce) {
            const std::string tag = labkey::ToHex(key->Tag(protocol::ReplyTagInput(*nonce, reply)));
            out.push_back(protocol::FormatReplySignature(reply.substr(0, reply.find(' ')), tag));
        }
    }
    return out;
}

void DiscoveryResponder::Answer(const platform::Datagram& probe) {
    const std::vector<std::string> replies = ProbeReplies(
        state_.Addresses().Current()->adapters, state_.DisplayName(), state_.ControlPort());
    for (const std::string& datagram : SignedReplies(replies, probe.data)) {
        // A sender that cannot be reached back simply gets nothing.
        platform::SendTo(socket_, datagram, probe.addr, probe.port);
    }
}

void DiscoveryResponder::Bind6() {
    if (state_.Config().bindAddress != 0) {
        return;  // bound to one IPv4 address: nothing over IPv6
    }
    // On the port the IPv4 side got (a test's port 0 gives any free one).
    socket6_ = platform::UdpBind6(IpAddress::V6({}), platform::LocalPort(socket_));
    if (socket6_.Valid()) {
        // Probes to ff02::1 then arrive only on interfaces joined, on every system alike.
        platform::ReceiveJoinedGroupsOnly6(socket6_);
        JoinNewInterfaces(state_.Addresses().Current()->adapters6);
    }
}

void DiscoveryResponder::JoinNewInterfaces(
    const std::vector<platform::Interface6Address>& adapters) {
    if (!socket6_.Valid()) {
        return;
    }
    std::lock_guard lock(joinMutex_);
    const IpAddress allNodes = *ParseIpAddress("ff02::1");
    for (const platform::Interface6Address& adapter : adapters) {
        if (joined_.insert(adapter.index).second &&
            !platform::JoinGroup6(socket6_, allNodes, adapter.index)) {
            joined_.erase(adapter.index);  // tried again at the next check
        }
    }
}

void DiscoveryResponder::Run6() {
    while (socket6_.Valid() && !state_.ShuttingDown()) {
        const platform::Datagram6Result received =
            platform::ReceiveFrom6(socket6_, protocol::kMaxDatagram);
        if (received.status != platform::RecvStatus::Data || state_.ShuttingDown()) {
            if (received.status == platform::RecvStatus::Error && !state_.ShuttingDown()) {
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
            }
            continue;
        }
        const platform::Datagram6& datagram = received.datagram;
        if (protocol::IsFactsProbe(datagram.data)) {
            if (Allowed(factsLimit_, datagram.addr))
                AnswerFacts6(datagram);
            continue;
        }
        switch (protocol::ClassifyDatagram(datagram.data)) {
            case protocol::DatagramKind::Probe:
                if (Allowed(rateLimit_, datagram.addr)) {
                    Answer6(datagram);
                }
                break;
            case protocol::DatagramKind::Restart:
                if (RestartAllowed(datagram.data, datagram.addr)) {
                    onRestart_();
                }
                break;
            case protocol::DatagramKind::Other:
                break;
        }
    }
}

void DiscoveryResponder::Answer6(const platform::Datagram6& probe) {
    const std::vector<std::string> replies = ProbeReplies6(
        state_.Addresses().Current()->adapters6, state_.DisplayName(), state_.ControlPort());
    for (const std::string& datagram : SignedReplies(replies, probe.data)) {
        platform::SendTo6(socket6_, datagram, probe.addr, probe.port);
    }
}

void DiscoveryResponder::AnswerFacts(const platform::Datagram& probe) {
    for (const std::string& reply : FactsReplies(state_.Addresses().Current()->adapters))
        platform::SendTo(socket_, reply, probe.addr, probe.port);
}

void DiscoveryResponder::AnswerFacts6(const platform::Datagram6& probe) {
    for (const std::string& reply : FactsReplies6(state_.Addresses().Current()->adapters6))
        platform::SendTo6(socket6_, reply, probe.addr, probe.port);
}

}  // namespace quarn::agent
