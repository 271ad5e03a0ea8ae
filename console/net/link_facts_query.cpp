#include "console/net/link_facts_query.h"

#include <algorithm>
#include <set>
#include <thread>

#include "address/ipv4.h"
#include "console/net/link_facts_reply.h"
#include "console/net/local_link.h"
#include "platform/adapters.h"
#include "platform/socket.h"
#include "protocol/endpoint_facts.h"
#include "protocol/messages.h"

namespace quarn::console {
namespace {

constexpr int kPollMs = 100;

void AddOwnLinks(const std::set<std::string>& wanted, std::map<std::string, LinkFacts>& links) {
    for (const platform::InterfaceAddress& own : platform::ListInterfaceAddresses()) {
        const std::string address = FormatIpv4(own.address);
        if (!wanted.contains(address) || links.contains(address))
            continue;
        links[address] = LinkFactsOf(own.name);
    }
}

}  // namespace

std::map<std::string, LinkFacts> AskLinkFacts(const std::vector<std::string>& addresses,
                                              uint16_t port, std::chrono::milliseconds wait) {
    std::map<std::string, LinkFacts> links;
    const std::set<std::string> wanted(addresses.begin(), addresses.end());
    platform::Socket socket = platform::UdpSocket(false);
    if (socket.Valid() && platform::SetRecvTimeout(socket, kPollMs)) {
        for (const std::string& address : wanted) {
            if (const auto ip = ParseIpv4(address))
                platform::SendTo(socket, protocol::kFactsProbe, *ip, port);
        }
        const auto deadline = std::chrono::steady_clock::now() + wait;
        while (links.size() < wanted.size() && std::chrono::steady_clock::now() < deadline) {
            const platform::DatagramResult reply =
                platform::ReceiveFrom(socket, protocol::kMaxDatagram);
            if (reply.status == platform::RecvStatus::Error)
                std::this_thread::sleep_for(std::chrono::milliseconds(kPollMs));
            if (reply.status != platform::RecvStatus::Data)
                continue;
            // Only what the EndPoint says of the address asked for.
            const auto parsed = ParseLinkFactsReply(reply.datagram.data);
            if (parsed && wanted.contains(parsed->address))
                links.emplace(parsed->address, parsed->link);
        }
    }
    AddOwnLinks(wanted, links);
    return links;
}

}  // namespace quarn::console
