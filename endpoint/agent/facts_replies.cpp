#include "endpoint/agent/facts_replies.h"

#include "address/ipv4.h"
#include "protocol/endpoint_facts.h"

namespace quarn::agent {

std::vector<std::string> FactsReplies(const std::vector<platform::Adapter>& adapters,
                                      const LinkReader& readLink) {
    std::vector<std::string> replies;
    for (const platform::Adapter& adapter : adapters) {
        const platform::LinkInfo link = readLink(adapter.name);
        protocol::Facts facts = {{std::string(protocol::kFactAddress), FormatIpv4(adapter.address)},
                                 {std::string(protocol::kFactInterface), adapter.name}};
        if (link.speedMbps)
            facts.emplace_back(protocol::kFactSpeed, std::to_string(*link.speedMbps));
        if (link.fullDuplex)
            facts.emplace_back(protocol::kFactDuplex, *link.fullDuplex ? "full" : "half");
        if (link.mtu)
            facts.emplace_back(protocol::kFactMtu, std::to_string(*link.mtu));
        facts.emplace_back(protocol::kFactWireless, link.wireless ? "1" : "0");
        facts.emplace_back(protocol::kFactTakes, protocol::kTakenOptions);
        replies.push_back(protocol::FormatFactsReply(facts));
    }
    return replies;
}

}  // namespace quarn::agent
