#include "platform/port_table.h"

// winsock2.h must come before windows.h.
#include <winsock2.h>

#include <iphlpapi.h>
#include <windows.h>

#include <vector>

namespace quarn::platform {
namespace {

template <typename Get>
std::vector<char> FetchTable(Get get) {
    DWORD size = 0;
    get(nullptr, &size);
    // The table may grow between the two calls.
    for (int attempt = 0; attempt < 4 && size > 0; ++attempt) {
        std::vector<char> buffer(size + 1024);
        size = static_cast<DWORD>(buffer.size());
        const DWORD result = get(buffer.data(), &size);
        if (result == NO_ERROR) {
            return buffer;
        }
        if (result != ERROR_INSUFFICIENT_BUFFER) {
            break;
        }
    }
    return {};
}

uint16_t PortOf(DWORD networkOrder) {
    return ntohs(static_cast<u_short>(networkOrder));
}

void AddTcp(ULONG family, uint16_t above, std::set<uint16_t>& ports) {
    const std::vector<char> buffer = FetchTable([family](void* table, DWORD* size) {
        return GetExtendedTcpTable(table, size, FALSE, family, TCP_TABLE_OWNER_PID_ALL, 0);
    });
    if (buffer.empty()) {
        return;
    }
    auto add = [&](DWORD state, DWORD localPort) {
        const uint16_t port = PortOf(localPort);
        if (port > above && state != MIB_TCP_STATE_TIME_WAIT && state != MIB_TCP_STATE_CLOSED) {
            ports.insert(port);
        }
    };
    if (family == AF_INET) {
        const auto* table = reinterpret_cast<const MIB_TCPTABLE_OWNER_PID*>(buffer.data());
        for (DWORD i = 0; i < table->dwNumEntries; ++i) {
            add(table->table[i].dwState, table->table[i].dwLocalPort);
        }
    } else {
        const auto* table = reinterpret_cast<const MIB_TCP6TABLE_OWNER_PID*>(buffer.data());
        for (DWORD i = 0; i < table->dwNumEntries; ++i) {
            add(table->table[i].dwState, table->table[i].dwLocalPort);
        }
    }
}

void AddUdp(ULONG family, uint16_t above, std::set<uint16_t>& ports) {
    const std::vector<char> buffer = FetchTable([family](void* table, DWORD* size) {
        return GetExtendedUdpTable(table, size, FALSE, family, UDP_TABLE_OWNER_PID, 0);
    });
    if (buffer.empty()) {
        return;
    }
    auto add = [&](DWORD localPort) {
        if (const uint16_t port = PortOf(localPort); port > above) {
            ports.insert(port);
        }
    };
    if (family == AF_INET) {
        const auto* table = reinterpret_cast<const MIB_UDPTABLE_OWNER_PID*>(buffer.data());
        for (DWORD i = 0; i < table->dwNumEntries; ++i) {
            add(table->table[i].dwLocalPort);
        }
    } else {
        const auto* table = reinterpret_cast<const MIB_UDP6TABLE_OWNER_PID*>(buffer.data());
        for (DWORD i = 0; i < table->dwNumEntries; ++i) {
            add(table->table[i].dwLocalPort);
        }
    }
}

}  // namespace

std::set<uint16_t> BusyTcpPorts(uint16_t above) {
    std::set<uint16_t> ports;
    AddTcp(AF_INET, above, ports);
    AddTcp(AF_INET6, above, ports);
    return ports;
}

std::set<uint16_t> BusyUdpPorts(uint16_t above) {
    std::set<uint16_t> ports;
    AddUdp(AF_INET, above, ports);
    AddUdp(AF_INET6, above, ports);
    return ports;
}

}  // namespace quarn::platform
