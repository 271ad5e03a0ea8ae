#include "platform/adapters.h"

// winsock2.h must come before windows.h.
#include <winsock2.h>

#include <iphlpapi.h>
#include <windows.h>
#include <ws2tcpip.h>

#include <cstring>
#include <limits>
#include <vector>

#include "platform/adapters6.h"
#include "platform/windows_text.h"

namespace quarn::platform {
namespace {

// The system's adapter list, grown until it fits.
std::vector<char> AdapterList(ULONG family) {
    constexpr ULONG kFlags =
        GAA_FLAG_SKIP_ANYCAST | GAA_FLAG_SKIP_MULTICAST | GAA_FLAG_SKIP_DNS_SERVER;
    ULONG size = 16 * 1024;
    std::vector<char> buffer;
    for (int attempt = 0; attempt < 4; ++attempt) {
        buffer.resize(size);
        const ULONG result = GetAdaptersAddresses(
            family, kFlags, nullptr, reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.data()), &size);
        if (result == ERROR_SUCCESS) {
            return buffer;
        }
        if (result != ERROR_BUFFER_OVERFLOW) {
            break;
        }
    }
    return {};
}

template <typename Visit>
void ForEachAdapter(Visit visit, ULONG family = AF_INET) {
    std::vector<char> buffer = AdapterList(family);
    if (buffer.empty()) {
        return;
    }
    for (auto* adapter = reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.data()); adapter != nullptr;
         adapter = adapter->Next) {
        visit(*adapter);
    }
}

unsigned FlagsOf(const IP_ADAPTER_ADDRESSES& adapter) {
    unsigned flags = 0;
    if (adapter.OperStatus == IfOperStatusUp) {
        flags |= kInterfaceUp;
    }
    if (adapter.IfType == IF_TYPE_SOFTWARE_LOOPBACK) {
        flags |= kInterfaceLoopback;
    } else if (adapter.IfType != IF_TYPE_PPP && adapter.IfType != IF_TYPE_TUNNEL) {
        flags |= kInterfaceBroadcast;
    }
    return flags;
}

uint32_t MaskOfPrefix(unsigned length) {
    return length == 0 ? 0 : (length >= 32 ? 0xFFFFFFFFu : ~((1u << (32 - length)) - 1));
}

}  // namespace

std::vector<InterfaceAddress> ListInterfaceAddresses() {
    std::vector<InterfaceAddress> addresses;
    ForEachAdapter([&](const IP_ADAPTER_ADDRESSES& adapter) {
        const std::string name = Narrow(adapter.FriendlyName);
        for (const IP_ADAPTER_UNICAST_ADDRESS* unicast = adapter.FirstUnicastAddress;
             unicast != nullptr; unicast = unicast->Next) {
            const sockaddr* address = unicast->Address.lpSockaddr;
            if (address == nullptr || address->sa_family != AF_INET) {
                continue;
            }
            const uint32_t ip =
                ntohl(reinterpret_cast<const sockaddr_in*>(address)->sin_addr.s_addr);
            addresses.push_back(
                {name, FlagsOf(adapter), ip, MaskOfPrefix(unicast->OnLinkPrefixLength)});
        }
    });
    return addresses;
}

std::vector<Interface6Address> ListInterface6Addresses() {
    std::vector<Interface6Address> addresses;
    ForEachAdapter(
        [&](const IP_ADAPTER_ADDRESSES& adapter) {
            const std::string name = Narrow(adapter.FriendlyName);
            unsigned flags = FlagsOf(adapter);
            if ((adapter.Flags & IP_ADAPTER_NO_MULTICAST) == 0) {
                flags |= kInterfaceMulticast;
            }
            for (const IP_ADAPTER_UNICAST_ADDRESS* unicast = adapter.FirstUnicastAddress;
                 unicast != nullptr; unicast = unicast->Next) {
                const sockaddr* address = unicast->Address.lpSockaddr;
                if (address == nullptr || address->sa_family != AF_INET6) {
                    continue;
                }
                IpAddress::Bytes6 bytes;
                const auto* sa = reinterpret_cast<const sockaddr_in6*>(address);
                std::memcpy(bytes.data(), sa->sin6_addr.s6_addr, 16);
                addresses.push_back({name, adapter.Ipv6IfIndex, flags, IpAddress::V6(bytes)});
            }
        },
        AF_INET6);
    return addresses;
}

std::optional<std::string> DefaultRouteInterface() {
    ULONG size = 0;
    GetIpForwardTable(nullptr, &size, FALSE);
    std::vector<char> buffer(size);
    auto* table = reinterpret_cast<MIB_IPFORWARDTABLE*>(buffer.data());
    if (size == 0 || GetIpForwardTable(table, &size, FALSE) != NO_ERROR) {
        return std::nullopt;
    }
    std::optional<DWORD> bestIndex;
    DWORD bestMetric = std::numeric_limits<DWORD>::max();
    for (DWORD i = 0; i < table->dwNumEntries; ++i) {
        const MIB_IPFORWARDROW& row = table->table[i];
        if (row.dwForwardDest == 0 && row.dwForwardMask == 0 &&
            (!bestIndex || row.dwForwardMetric1 < bestMetric)) {
            bestIndex = row.dwForwardIfIndex;
            bestMetric = row.dwForwardMetric1;
        }
    }
    std::optional<std::string> name;
    ForEachAdapter([&](const IP_ADAPTER_ADDRESSES& adapter) {
        if (bestIndex && !name && adapter.IfIndex == *bestIndex) {
            name = Narrow(adapter.FriendlyName);
        }
    });
    return name;
}

}  // namespace quarn::platform
