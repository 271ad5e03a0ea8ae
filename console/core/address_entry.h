#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace quarn::console {

// The IPv4 addresses a host name resolves to (host byte order); empty when unknown.
using HostLookup = std::function<std::vector<std::uint32_t>(const std::string& name)>;

// What an End Point field typed by the operator stands for. An IPv4 or IPv6 address is
// taken in its canonical text: brackets dropped, a link-local zone kept, an IPv4-mapped
// address as the IPv4 address it is (an EndPoint aims iperf at no mapped address). A host
// name must resolve to exactly one IPv4 address, which is what the pair keeps (iperf and the
// control connection need an address), the name becoming its label.
struct AddressEntry {
    bool accepted = false;
    std::string address;  // canonical text, when accepted
    std::string label;    // the host name typed, or empty for a dotted address
    std::string refusal;  // short reason, when refused
};

AddressEntry CheckAddressEntry(const std::string& text, const HostLookup& lookup);

// Letters, digits, hyphens and dots in labels of 1..63, at most 253 in all, and not all
// digits and dots (that would be a mistyped address).
bool IsHostName(const std::string& text);

}  // namespace quarn::console
