// An EndPoint's "facts" reply as the Console reads it into a link, and the reply the
// EndPoint formats, read back.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "address/ip_address.h"
#include "console/core/link_facts.h"
#include "console/net/link_facts_reply.h"
#include "protocol/endpoint_facts.h"
#include "tests/fuzz/fuzz_check.h"

namespace {

namespace protocol = quarn::protocol;
using quarn::console::LinkFacts;

void CheckTokens(std::string_view datagram, const std::optional<protocol::Facts>& facts) {
    const bool shaped = datagram.size() > protocol::kFactsProbe.size() &&
                        datagram.starts_with(protocol::kFactsProbe) &&
                        datagram[protocol::kFactsProbe.size()] == ' ';
    FUZZ_CHECK(facts.has_value() == shaped);
    if (!facts)
        return;
    FUZZ_CHECK(facts->size() <= protocol::kMaxFacts);
    for (const auto& [key, value] : *facts) {
        FUZZ_CHECK(!key.empty());
        FUZZ_CHECK(key.find(' ') == std::string::npos && key.find('=') == std::string::npos);
        // Every key came from the datagram, and an escape never makes a value longer.
        FUZZ_CHECK(datagram.find(key) != std::string_view::npos);
        FUZZ_CHECK(value.size() <= datagram.size());
    }
}

// What the EndPoint formats reads back as the same keys and values, cut to their limit.
void CheckFormat(const protocol::Facts& facts) {
    if (facts.empty())
        return;
    const std::string formatted = protocol::FormatFactsReply(facts);
    const std::optional<protocol::Facts> back = protocol::ParseFactsReply(formatted);
    FUZZ_CHECK(back.has_value());
    FUZZ_CHECK(back->size() == facts.size());
    for (std::size_t i = 0; i < facts.size(); ++i) {
        FUZZ_CHECK((*back)[i].first == facts[i].first);
        FUZZ_CHECK((*back)[i].second == facts[i].second.substr(0, protocol::kMaxFactValue));
    }
}

void CheckLink(const std::optional<protocol::Facts>& facts,
               const std::optional<quarn::console::AddressLink>& read) {
    if (!facts) {
        FUZZ_CHECK(!read);
        return;
    }
    const auto address = protocol::FactValue(*facts, protocol::kFactAddress);
    const auto parsed = address ? quarn::ParseIpAddress(*address) : std::nullopt;
    FUZZ_CHECK(read.has_value() == parsed.has_value());
    if (!read)
        return;
    const LinkFacts& link = read->link;
    FUZZ_CHECK(read->address == quarn::FormatIpAddress(*parsed));
    FUZZ_CHECK(!link.speedMbps || (*link.speedMbps > 0 && *link.speedMbps <= 1'600'000));
    FUZZ_CHECK(!link.mtu || (*link.mtu > 0 && *link.mtu <= 65536));
    FUZZ_CHECK(link.wireless == (protocol::FactValue(*facts, protocol::kFactWireless) == "1"));
    const auto duplex = protocol::FactValue(*facts, protocol::kFactDuplex);
    FUZZ_CHECK(link.fullDuplex.has_value() == (duplex == "full" || duplex == "half"));

    // The figures a verdict is built on: none without both, else payload below the speed.
    for (const auto protocol : {quarn::console::Protocol::Tcp, quarn::console::Protocol::Udp}) {
        const std::optional<double> expected =
            quarn::console::ExpectedGoodputMbps(&link, &link, protocol);
        // An MTU below IPv4's smallest (68) is no link's, and promises nothing.
        FUZZ_CHECK(expected.has_value() == (link.speedMbps && link.mtu && *link.mtu >= 68));
        if (expected)
            FUZZ_CHECK(std::isfinite(*expected) && *expected >= 0.0 &&
                       *expected <= *link.speedMbps);
    }
    (void)quarn::console::DescribeNamedLink(link);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view datagram(reinterpret_cast<const char*>(data), size);
    const std::optional<protocol::Facts> facts = protocol::ParseFactsReply(datagram);
    CheckTokens(datagram, facts);
    if (facts)
        CheckFormat(*facts);
    CheckLink(facts, quarn::console::ParseLinkFactsReply(datagram));
    return 0;
}
