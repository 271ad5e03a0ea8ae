#include "platform/adapters.h"

// winsock2.h must come before windows.h.
#include <winsock2.h>
#include <ws2tcpip.h>  // before netioapi.h, which needs ws2ipdef.h

#include <iphlpapi.h>
#include <netioapi.h>
#include <windows.h>

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

void AppendV4(const IP_ADAPTER_ADDRESSES& adapter, std::vector<InterfaceAddress>& out) {
    const std::string name = Narrow(adapter.FriendlyName);
    for (const IP_ADAPTER_UNICAST_ADDRESS* unicast = adapter.FirstUnicastAddress;
         unicast != nullptr; unicast = unicast->Next) {
        const sockaddr* address = unicast->Address.lpSockaddr;
        if (address == nullptr || address->sa_family != AF_INET) {
            continue;
        }
        const uint32_t ip = ntohl(reinterpret_cast<const sockaddr_in*>(address)->sin_addr.s_addr);
        out.push_back({name, FlagsOf(adapter), ip, MaskOfPrefix(unicast->OnLinkPrefixLength)});
    }
}

void AppendV6(const IP_ADAPTER_ADDRESSES& adapter, std::vector<Interface6Address>& out) {
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
        out.push_back({name, adapter.Ipv6IfIndex, flags, IpAddress::V6(bytes)});
    }
}

// The IPv4 route table, grown until it fits: one call when the first size does.
std::vector<char> RouteTable() {
    ULONG size = 16 * 1024;
    std::vector<char> buffer;
    for (int attempt = 0; attempt < 4; ++attempt) {
        buffer.resize(size);
        const DWORD result =
            GetIpForwardTable(reinterpret_cast<MIB_IPFORWARDTABLE*>(buffer.data()), &size, FALSE);
        if (result == NO_ERROR) {
            return buffer;
        }
        if (result != ERROR_INSUFFICIENT_BUFFER) {
            break;
        }
    }
    return {};
}

// The interface's alias, which is what the adapter list calls its friendly name.
std::optional<std::string> AliasOfInterface(DWORD index) {
    NET_LUID luid;
    if (ConvertInterfaceIndexToLuid(index, &luid) != NO_ERROR) {
        return std::nullopt;
    }
    wchar_t alias[IF_MAX_STRING_SIZE + 1] = {};
    if (ConvertInterfaceLuidToAlias(&luid, alias, IF_MAX_STRING_SIZE + 1) != NO_ERROR) {
        return std::nullopt;
    }
    return Narrow(alias);
}

}  // namespace

std::vector<InterfaceAddress> ListInterfaceAddresses() {
    std::vector<InterfaceAddress> addresses;
    ForEachAdapter([&](const IP_ADAPTER_ADDRESSES& adapter) { AppendV4(adapter, addresses); });
    return addresses;
}

std::vector<Interface6Address> ListInterface6Addresses() {
    std::vector<Interface6Address> addresses;
    ForEachAdapter([&](const IP_ADAPTER_ADDRESSES& adapter) { AppendV6(adapter, addresses); },
                   AF_INET6);
    return addresses;
}

AddressListing ListAddresses() {
    AddressListing listing;
    ForEachAdapter(
        [&](const IP_ADAPTER_ADDRESSES& adapter) {
            AppendV4(adapter, listing.v4);
            AppendV6(adapter, listing.v6);
        },
        AF_UNSPEC);
    return listing;
}

std::optional<std::string> DefaultRouteInterface() {
    std::vector<char> buffer = RouteTable();
    if (buffer.empty()) {
        return std::nullopt;
    }
    const auto* table = reinterpret_cast<const MIB_IPFORWARDTABLE*>(buffer.data());
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
    return bestIndex ? AliasOfInterface(*bestIndex) : std::nullopt;
}

}  // namespace quarn::platform
