#include "console/net/link_facts_reply.h"

#include <charconv>

#include "address/ip_address.h"
#include "protocol/endpoint_facts.h"

namespace quarn::console {
namespace {

// Beyond 1.6 Tbit/s or the largest MTU (loopback's): such figures are no link's.
constexpr int kMaxSpeedMbps = 1'600'000;
constexpr int kMaxMtu = 65536;  // loopback's

std::optional<int> Whole(const std::optional<std::string>& text, int maximum) {
    if (!text)
        return std::nullopt;
    int value = 0;
    const char* end = text->data() + text->size();
    const auto [ptr, ec] = std::from_chars(text->data(), end, value);
    if (ec != std::errc() || ptr != end || text->empty() || value <= 0 || value > maximum)
        return std::nullopt;
    return value;
}

}  // namespace

std::optional<AddressLink> ParseLinkFactsReply(std::string_view datagram) {
    const std::optional<protocol::Facts> facts = protocol::ParseFactsReply(datagram);
    if (!facts)
        return std::nullopt;
    const auto address = protocol::FactValue(*facts, protocol::kFactAddress);
    const std::optional<IpAddress> parsed = address ? ParseIpAddress(*address) : std::nullopt;
    if (!parsed)
        return std::nullopt;
    AddressLink result;
    result.address = FormatIpAddress(*parsed);  // matches the entry's canonical text
    LinkFacts& link = result.link;
    link.interfaceName = protocol::FactValue(*facts, protocol::kFactInterface).value_or("");
    link.speedMbps = Whole(protocol::FactValue(*facts, protocol::kFactSpeed), kMaxSpeedMbps);
    link.mtu = Whole(protocol::FactValue(*facts, protocol::kFactMtu), kMaxMtu);
    const auto duplex = protocol::FactValue(*facts, protocol::kFactDuplex);
    if (duplex == "full" || duplex == "half")
        link.fullDuplex = *duplex == "full";
    link.wireless = protocol::FactValue(*facts, protocol::kFactWireless) == "1";
    const auto takes = protocol::FactValue(*facts, protocol::kFactTakes).value_or("");
    for (const std::string& name : protocol::TakenOptions(takes)) {
        if (name == protocol::kTakesDscp)
            link.takes.insert(TrafficOption::Dscp);
        else if (name == protocol::kTakesLength)
            link.takes.insert(TrafficOption::Length);
        else if (name == protocol::kTakesMss)
            link.takes.insert(TrafficOption::Mss);
    }
    return result;
}

}  // namespace quarn::console
