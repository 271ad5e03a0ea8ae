#include "console/core/address_entry.h"

#include <algorithm>
#include <cctype>

#include "address/ip_address.h"
#include "address/ipv4.h"

namespace quarn::console {
namespace {

constexpr std::size_t kMaxName = 253;
constexpr std::size_t kMaxLabel = 63;

bool IsNameChar(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '-';
}

bool IsNameLabel(const std::string& text, std::size_t from, std::size_t to) {
    const std::size_t length = to - from;
    if (length == 0 || length > kMaxLabel || text[from] == '-' || text[to - 1] == '-')
        return false;
    return std::all_of(text.begin() + static_cast<std::ptrdiff_t>(from),
                       text.begin() + static_cast<std::ptrdiff_t>(to), IsNameChar);
}

AddressEntry Refused(std::string reason) {
    AddressEntry entry;
    entry.refusal = std::move(reason);
    return entry;
}

}  // namespace

bool IsHostName(const std::string& text) {
    if (text.empty() || text.size() > kMaxName)
        return false;
    const bool numeric = std::all_of(text.begin(), text.end(), [](char c) {
        return std::isdigit(static_cast<unsigned char>(c)) != 0 || c == '.';
    });
    if (numeric)
        return false;
    std::size_t from = 0;
    while (true) {
        const std::size_t dot = text.find('.', from);
        const std::size_t to = dot == std::string::npos ? text.size() : dot;
        if (!IsNameLabel(text, from, to))
            return false;
        if (dot == std::string::npos)
            return true;
        from = dot + 1;
    }
}

AddressEntry CheckAddressEntry(const std::string& text, const HostLookup& lookup) {
    if (const auto address = ParseIpAddress(text)) {
        AddressEntry entry;
        entry.accepted = true;
        entry.address = FormatIpAddress(address->Unmapped());
        return entry;
    }
    // Two colons or a bracket only ever belong to an IPv6 address: say which was meant.
    if (std::count(text.begin(), text.end(), ':') >= 2 || text.starts_with('['))
        return Refused("Not an IPv6 address: " + text);
    if (!IsHostName(text))
        return Refused("Not an IPv4 address: " + text);
    const std::vector<std::uint32_t> found = lookup ? lookup(text) : std::vector<std::uint32_t>{};
    if (found.empty())
        return Refused("Unknown host: " + text);
    if (found.size() > 1)
        return Refused(text + " has more than one address.");
    AddressEntry entry;
    entry.accepted = true;
    entry.address = FormatIpv4(found.front());
    entry.label = text;
    return entry;
}

}  // namespace quarn::console
