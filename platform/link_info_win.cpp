#include "platform/link_info.h"

// winsock2.h must come before windows.h; ws2ipdef.h before iphlpapi.h, for MIB_IF_ROW2.
#include <winsock2.h>
#include <ws2ipdef.h>

#include <iphlpapi.h>
#include <windows.h>

#include <limits>
#include <vector>

#include "platform/windows_text.h"

namespace quarn::platform {
namespace {

constexpr ULONG64 kBitsPerMbit = 1000000;

// The adapter list, grown until it fits; empty when the system gives none.
std::vector<char> Adapters() {
    constexpr ULONG kFlags = GAA_FLAG_SKIP_ANYCAST | GAA_FLAG_SKIP_MULTICAST |
                             GAA_FLAG_SKIP_DNS_SERVER | GAA_FLAG_SKIP_UNICAST;
    ULONG size = 16 * 1024;
    std::vector<char> buffer;
    for (int attempt = 0; attempt < 4; ++attempt) {
        buffer.resize(size);
        const ULONG result =
            GetAdaptersAddresses(AF_UNSPEC, kFlags, nullptr,
                                 reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.data()), &size);
        if (result == ERROR_SUCCESS)
            return buffer;
        if (result != ERROR_BUFFER_OVERFLOW)
            break;
    }
    return {};
}

}  // namespace

LinkInfo ReadLinkInfo(const std::string& interfaceName) {
    LinkInfo info;
    std::vector<char> buffer = Adapters();
    const IP_ADAPTER_ADDRESSES* found = nullptr;
    for (auto* adapter = buffer.empty() ? nullptr
                                        : reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.data());
         adapter != nullptr && found == nullptr; adapter = adapter->Next) {
        if (adapter->FriendlyName != nullptr && Narrow(adapter->FriendlyName) == interfaceName)
            found = adapter;
    }
    if (found == nullptr)
        return info;
    MIB_IF_ROW2 row{};
    row.InterfaceLuid = found->Luid;
    if (GetIfEntry2(&row) != NO_ERROR)
        return info;
    // An unknown speed is reported as all ones.
    const ULONG64 speed = row.TransmitLinkSpeed;
    if (speed != 0 && speed != std::numeric_limits<ULONG64>::max() &&
        speed / kBitsPerMbit <= static_cast<ULONG64>(std::numeric_limits<int>::max()))
        info.speedMbps = static_cast<int>(speed / kBitsPerMbit);
    if (row.Mtu > 0 && row.Mtu <= static_cast<ULONG>(std::numeric_limits<int>::max()))
        info.mtu = static_cast<int>(row.Mtu);
    info.wireless = row.Type == IF_TYPE_IEEE80211;
    // The interface row carries no duplex: it stays unknown.
    return info;
}

}  // namespace quarn::platform
