#include "endpoint/agent/discovery_responder.h"

#include <chrono>

#include "endpoint/agent/facts_replies.h"
#include "address/ipv4.h"
#include "platform/text_encoding.h"
#include "protocol/auth_messages.h"
#include "protocol/endpoint_facts.h"
#include "protocol/messages.h"
#include "protocol/probe_reply.h"

namespace quarn::agent {

std::vector<std::string> ProbeReplies(const std::vector<platform::Adapter>& adapters,
                                      const std::string& name, uint16_t controlPort) {
    // Names go out as UTF-8 (marked as such unless plain ASCII), whatever our locale is.
    const std::string networkName =
        platform::IsValidUtf8(name) ? name : platform::Utf16ToUtf8(platform::Utf8ToUtf16(name));
    std::vector<std::string> replies;
    for (const platform::Adapter& adapter : adapters) {
        replies.push_back(protocol::FormatProbeReply(
            FormatIpv4(adapter.address), protocol::kDefaultIperfPort, controlPort, networkName));
    }
    return replies;
}

bool DiscoveryResponder::Bind() {
    socket_ = platform::UdpBind(state_.Config().bindAddress, state_.Config().discoveryPort,
                                /*broadcast=*/true);
    // No receive timeout: Wake() shuts the socket down, which ends a blocked receive.
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
        if (protocol::IsFactsProbe(datagram.data)) {
            if (factsLimit_.Allow(datagram.addr, ProbeRateLimit::Clock::now()))
                AnswerFacts(datagram);
            continue;
        }
        switch (protocol::ClassifyDatagram(datagram.data)) {
            case protocol::DatagramKind::Probe:
                if (rateLimit_.Allow(datagram.addr, ProbeRateLimit::Clock::now())) {
                    Answer(datagram);
                }
                break;
            case protocol::DatagramKind::Restart:
                if (RestartAllowed(datagram)) {
                    onRestart_();
                }
                break;
            case protocol::DatagramKind::Other:
                break;
        }
    }
}

bool DiscoveryResponder::RestartAllowed(const platform::Datagram& restart) {
    if (!state_.Config().labKey) {
        return restartLimit_.Allow(restart.addr, ProbeRateLimit::Clock::now());
    }
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    return restartGuard_.Allows(restart.data,
                                std::chrono::duration_cast<std::chrono::seconds>(now).count());
}

void DiscoveryResponder::Answer(const platform::Datagram& probe) {
    const std::vector<std::string> replies =
        ProbeReplies(platform::QualifyingAdapters(), state_.DisplayName(), state_.ControlPort());
    // A keyed Console's probe carries a nonce: each reply is followed by its signature.
    const std::optional<labkey::LabKey>& key = state_.Config().labKey;
    const std::optional<std::string> nonce =
        key ? protocol::ParseSignedProbe(probe.data) : std::nullopt;
    for (const std::string& reply : replies) {
        // A sender that cannot be reached back simply gets nothing.
        platform::SendTo(socket_, reply, probe.addr, probe.port);
        if (nonce) {
            const std::string tag = labkey::ToHex(key->Tag(protocol::ReplyTagInput(*nonce, reply)));
            const std::string address = reply.substr(0, reply.find(' '));
            platform::SendTo(socket_, protocol::FormatReplySignature(address, tag), probe.addr,
                             probe.port);
        }
    }
}

void DiscoveryResponder::AnswerFacts(const platform::Datagram& probe) {
    for (const std::string& reply : FactsReplies(platform::QualifyingAdapters()))
        platform::SendTo(socket_, reply, probe.addr, probe.port);
}

}  // namespace quarn::agent
