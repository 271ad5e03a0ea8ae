#include "endpoint/agent/facts_replies.h"

#include "address/ip_address.h"
#include "address/ipv4.h"
#include "protocol/endpoint_facts.h"

namespace quarn::agent {

namespace {

std::string FactsReply(const std::string& address, const std::string& interfaceName,
                       const LinkReader& readLink) {
    const platform::LinkInfo link = readLink(interfaceName);
    protocol::Facts facts = {{std::string(protocol::kFactAddress), address},
                             {std::string(protocol::kFactInterface), interfaceName}};
    if (link.speedMbps)
        facts.emplace_back(protocol::kFactSpeed, std::to_string(*link.speedMbps));
    if (link.fullDuplex)
        facts.emplace_back(protocol::kFactDuplex, *link.fullDuplex ? "full" : "half");
    if (link.mtu)
        facts.emplace_back(protocol::kFactMtu, std::to_string(*link.mtu));
    facts.emplace_back(protocol::kFactWireless, link.wireless ? "1" : "0");
    facts.emplace_back(protocol::kFactTakes, protocol::kTakenOptions);
    return protocol::FormatFactsReply(facts);
}

}  // namespace

std::vector<std::string> FactsReplies(const std::vector<platform::Adapter>& adapters,
                                      const LinkReader& readLink) {
    std::vector<std::string> replies;
    for (const platform::Adapter& adapter : adapters)
        replies.push_back(FactsReply(FormatIpv4(adapter.address), adapter.name, readLink));
    return replies;
}

std::vector<std::string> FactsReplies6(const std::vector<platform::Interface6Address>& adapters,
                                       const LinkReader& readLink) {
    std::vector<std::string> replies;
    for (const platform::Interface6Address& adapter : adapters)
        replies.push_back(FactsReply(FormatIpAddress(adapter.address), adapter.name, readLink));
    return replies;
}

}  // namespace quarn::agent
