#include "console/net/link_facts_query.h"

#include <algorithm>
#include <set>
#include <string_view>
#include <thread>

#include "address/ip_address.h"
#include "address/ipv4.h"
#include "console/net/link_facts_reply.h"
#include "console/net/local_link.h"
#include "platform/adapters.h"
#include "platform/adapters6.h"
#include "platform/socket.h"
#include "platform/socket6.h"
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
    for (const platform::Interface6Address& own : platform::ListInterface6Addresses()) {
        const std::string address = FormatIpAddress(own.address);
        if (wanted.contains(address) && !links.contains(address))
            links[address] = LinkFactsOf(own.name);
    }
}

// Only what the EndPoint says of an address asked for; a link-local one is known by the
// zone it answered on.
void TakeReply(std::string_view datagram, const std::string& zone,
               const std::set<std::string>& wanted, std::map<std::string, LinkFacts>& links) {
    const auto parsed = ParseLinkFactsReply(datagram);
    if (!parsed)
        return;
    std::string address = parsed->address;
    if (const auto ip = ParseIpAddress(address);
        ip && ip->IsLinkLocal() && ip->IsV6() && ip->Zone().empty() && !zone.empty())
        address = FormatIpAddress(IpAddress::V6(ip->V6Bytes(), zone));
    if (wanted.contains(address))
        links.emplace(address, parsed->link);
}

// One wait on either socket; false when neither can be read at all.
bool ReceiveOne(const platform::Socket& four, const platform::Socket& six,
                const std::set<std::string>& wanted, std::map<std::string, LinkFacts>& links) {
    bool usable = false;
    if (four.Valid()) {
        const platform::DatagramResult reply = platform::ReceiveFrom(four, protocol::kMaxDatagram);
        usable = reply.status != platform::RecvStatus::Error;
        if (reply.status == platform::RecvStatus::Data)
            TakeReply(reply.datagram.data, {}, wanted, links);
    }
    if (six.Valid()) {
        const platform::Datagram6Result reply = platform::ReceiveFrom6(six, protocol::kMaxDatagram);
        usable = usable || reply.status != platform::RecvStatus::Error;
        if (reply.status == platform::RecvStatus::Data)
            TakeReply(reply.datagram.data, reply.datagram.addr.Zone(), wanted, links);
    }
    return usable;
}

}  // namespace

std::map<std::string, LinkFacts> AskLinkFacts(const std::vector<std::string>& addresses,
                                              uint16_t port, std::chrono::milliseconds wait) {
    std::map<std::string, LinkFacts> links;
    const std::set<std::string> wanted(addresses.begin(), addresses.end());
    std::vector<IpAddress> targets;
    for (const std::string& address : wanted) {
        if (const auto ip = ParseIpAddress(address))
            targets.push_back(ip->Unmapped());
    }
    const bool anyV6 =
        std::any_of(targets.begin(), targets.end(), [](const IpAddress& ip) { return ip.IsV6(); });
    platform::Socket four = platform::UdpSocket(false);
    platform::Socket six = anyV6 ? platform::UdpBind6(IpAddress::V6({}), 0) : platform::Socket();
    // The two sockets are read in turn: each waits half the poll.
    const int slice = six.Valid() ? kPollMs / 2 : kPollMs;
    if (!four.Valid() || !platform::SetRecvTimeout(four, slice))
        four.Close();
    if (six.Valid() && !platform::SetRecvTimeout(six, slice))
        six.Close();
    for (const IpAddress& target : targets) {
        if (target.IsV4() && four.Valid())
            platform::SendTo(four, protocol::kFactsProbe, target.V4Value(), port);
        else if (target.IsV6() && six.Valid())
            platform::SendTo6(six, protocol::kFactsProbe, target, port);
    }
    const auto deadline = std::chrono::steady_clock::now() + wait;
    while ((four.Valid() || six.Valid()) && links.size() < wanted.size() &&
           std::chrono::steady_clock::now() < deadline) {
        if (!ReceiveOne(four, six, wanted, links))
            std::this_thread::sleep_for(std::chrono::milliseconds(kPollMs));
    }
    AddOwnLinks(wanted, links);
    return links;
}

}  // namespace quarn::console
