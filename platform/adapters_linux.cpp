#include "platform/adapters.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>

#include <charconv>
#include <cstring>
#include <limits>
#include <memory>
#include <utility>

#include "platform/adapters6.h"
#include "platform/file_text.h"

namespace quarn::platform {
namespace {

static_assert(kInterfaceUp == IFF_UP && kInterfaceBroadcast == IFF_BROADCAST &&
              kInterfaceLoopback == IFF_LOOPBACK);

constexpr unsigned kRouteUp = 0x1;  // RTF_UP

struct IfAddrsFree {
    void operator()(ifaddrs* list) const { freeifaddrs(list); }
};

uint32_t HostOrder(const sockaddr* address) {
    return ntohl(reinterpret_cast<const sockaddr_in*>(address)->sin_addr.s_addr);
}

template <typename T>
std::optional<T> ParseNumber(std::string_view text, int base) {
    T value{};
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (text.empty() || error != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

std::vector<std::string_view> SplitWhitespace(std::string_view line) {
    std::vector<std::string_view> fields;
    size_t pos = 0;
    while (true) {
        pos = line.find_first_not_of(" \t", pos);
        if (pos == std::string_view::npos) {
            return fields;
        }
        const size_t end = line.find_first_of(" \t", pos);
        fields.push_back(line.substr(pos, end == std::string_view::npos ? end : end - pos));
        if (end == std::string_view::npos) {
            return fields;
        }
        pos = end;
    }
}

void AppendV4(const ifaddrs& entry, std::vector<InterfaceAddress>& out) {
    if (entry.ifa_addr == nullptr || entry.ifa_addr->sa_family != AF_INET) {
        return;
    }
    const uint32_t mask = entry.ifa_netmask != nullptr ? HostOrder(entry.ifa_netmask) : 0xFFFFFFFF;
    out.push_back({entry.ifa_name, entry.ifa_flags, HostOrder(entry.ifa_addr), mask});
}

void AppendV6(const ifaddrs& entry, std::vector<Interface6Address>& out) {
    static_assert(kInterfaceMulticast == IFF_MULTICAST);
    if (entry.ifa_addr == nullptr || entry.ifa_addr->sa_family != AF_INET6) {
        return;
    }
    IpAddress::Bytes6 bytes;
    std::memcpy(bytes.data(),
                reinterpret_cast<const sockaddr_in6*>(entry.ifa_addr)->sin6_addr.s6_addr, 16);
    out.push_back(
        {entry.ifa_name, if_nametoindex(entry.ifa_name), entry.ifa_flags, IpAddress::V6(bytes)});
}

template <typename Visit>
void ForEachEntry(Visit visit) {
    ifaddrs* raw = nullptr;
    if (getifaddrs(&raw) != 0) {
        return;
    }
    const std::unique_ptr<ifaddrs, IfAddrsFree> list(raw);
    for (const ifaddrs* entry = raw; entry != nullptr; entry = entry->ifa_next) {
        visit(*entry);
    }
}

}  // namespace

std::vector<InterfaceAddress> ListInterfaceAddresses() {
    std::vector<InterfaceAddress> addresses;
    ForEachEntry([&](const ifaddrs& entry) { AppendV4(entry, addresses); });
    return addresses;
}

std::vector<Interface6Address> ListInterface6Addresses() {
    std::vector<Interface6Address> addresses;
    ForEachEntry([&](const ifaddrs& entry) { AppendV6(entry, addresses); });
    return addresses;
}

AddressListing ListAddresses() {
    AddressListing listing;
    ForEachEntry([&](const ifaddrs& entry) {
        AppendV4(entry, listing.v4);
        AppendV6(entry, listing.v6);
    });
    return listing;
}

std::optional<std::string> DefaultRouteInterface(std::string_view procNetRoute) {
    std::optional<std::string> best;
    unsigned long bestMetric = std::numeric_limits<unsigned long>::max();
    bool header = true;
    while (!procNetRoute.empty()) {
        const size_t end = procNetRoute.find('\n');
        const std::string_view line = procNetRoute.substr(0, end);
        procNetRoute.remove_prefix(end == std::string_view::npos ? procNetRoute.size() : end + 1);
        if (std::exchange(header, false)) {
            continue;
        }
        // Iface Destination Gateway Flags RefCnt Use Metric Mask ...
        const std::vector<std::string_view> f = SplitWhitespace(line);
        if (f.size() < 8) {
            continue;
        }
        const auto destination = ParseNumber<uint32_t>(f[1], 16);
        const auto flags = ParseNumber<unsigned>(f[3], 16);
        const auto metric = ParseNumber<unsigned long>(f[6], 10);
        const auto mask = ParseNumber<uint32_t>(f[7], 16);
        if (!destination || !flags || !metric || !mask || *destination != 0 || *mask != 0 ||
            !(*flags & kRouteUp)) {
            continue;
        }
        if (!best || *metric < bestMetric) {
            best = std::string(f[0]);
            bestMetric = *metric;
        }
    }
    return best;
}

std::optional<std::string> DefaultRouteInterface() {
    const std::optional<std::string> routeText = ReadFileText("/proc/net/route");
    return routeText ? DefaultRouteInterface(*routeText) : std::nullopt;
}

}  // namespace quarn::platform
