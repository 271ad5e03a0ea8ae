#include "console/core/link_facts.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace quarn::console {
namespace {

constexpr int kEthernetOverhead = 38;  // header 14, FCS 4, preamble 8, gap 12
constexpr int kTcpIpHeaders = 52;      // IP 20, TCP 20, timestamps 12
constexpr int kIpHeader = 20;
constexpr int kUdpHeader = 8;
constexpr int kSmallestMtu = 68;

// Payload share of the wire bytes for one UDP datagram, fragments included.
double UdpShare(int mtu, int datagram) {
    // Each fragment but the last carries a multiple of eight bytes.
    const int perFragment = (mtu - kIpHeader) / 8 * 8;
    const int ipPayload = datagram + kUdpHeader;
    const int fragments = (ipPayload + perFragment - 1) / perFragment;
    const double wire = static_cast<double>(ipPayload) +
                        fragments * static_cast<double>(kIpHeader + kEthernetOverhead);
    return static_cast<double>(datagram) / wire;
}

}  // namespace

std::optional<double> ExpectedGoodputMbps(const LinkFacts* end1, const LinkFacts* end2,
                                          Protocol protocol, int udpDatagramBytes) {
    if (end1 == nullptr || end2 == nullptr || !end1->speedMbps || !end2->speedMbps || !end1->mtu ||
        !end2->mtu) {
        return std::nullopt;
    }
    const int speed = std::min(*end1->speedMbps, *end2->speedMbps);
    const int mtu = std::min(*end1->mtu, *end2->mtu);
    if (speed <= 0 || mtu < kSmallestMtu || udpDatagramBytes <= 0) {
        return std::nullopt;
    }
    const double share = protocol == Protocol::Tcp
                             ? static_cast<double>(mtu - kTcpIpHeaders) /
                                   static_cast<double>(mtu + kEthernetOverhead)
                             : UdpShare(mtu, udpDatagramBytes);
    return speed * share;
}

std::string DescribeLink(const LinkFacts& facts) {
    std::string speed = facts.speedMbps ? std::to_string(*facts.speedMbps) + " Mbit/s" : "";
    if (facts.fullDuplex)
        speed += std::string(speed.empty() ? "" : " ") +
                 (*facts.fullDuplex ? "full duplex" : "half duplex");
    std::string text = speed;
    const auto add = [&](const std::string& part) { text += (text.empty() ? "" : ", ") + part; };
    if (facts.mtu)
        add("MTU " + std::to_string(*facts.mtu));
    if (facts.wireless)
        add("wireless");
    return text;
}

std::string DescribeNamedLink(const LinkFacts& facts) {
    std::string text = facts.interfaceName;
    if (const std::string described = DescribeLink(facts); !described.empty())
        text += (text.empty() ? "" : ", ") + described;
    return text;
}

}  // namespace quarn::console
