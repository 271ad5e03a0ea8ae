#pragma once

#include <chrono>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>

#include "address/ip_address.h"
#include "platform/socket.h"

namespace quarn::platform {

// IPv6 sockets are IPv6-only, so that the IPv4 sockets beside them on the same port keep
// serving IPv4 exactly as before. Failures leave errno set, as in socket.h.

// A UDP socket bound to address (:: for any) and port.
Socket UdpBind6(const IpAddress& address, uint16_t port);
// Joins group (ff02::1 for the all-nodes group) on the interface of that index.
bool JoinGroup6(const Socket& socket, const IpAddress& group, unsigned interfaceIndex);
// The socket gets multicast only of the groups it joined, as Windows has it; Linux would
// otherwise hand it every group the host is a member of.
bool ReceiveJoinedGroupsOnly6(const Socket& socket);
Socket TcpListen6(const IpAddress& address, uint16_t port, int backlog);
// A link-scoped address needs its zone (an interface name or index).
Socket TcpConnect6(const IpAddress& address, uint16_t port, int timeoutMs);
// The same, but gives up early (errno ECANCELED) once stop is requested.
Socket TcpConnect6(const IpAddress& address, uint16_t port, std::chrono::milliseconds timeout,
                   const std::stop_token& stop);

struct Datagram6 {
    std::string data;
    IpAddress addr;  // a link-local sender carries the zone of the interface it came in on
    uint16_t port = 0;
};

struct Datagram6Result {
    RecvStatus status = RecvStatus::Error;
    Datagram6 datagram;
};

Datagram6Result ReceiveFrom6(const Socket& socket, size_t maxLen);
bool SendTo6(const Socket& socket, std::string_view data, const IpAddress& address, uint16_t port);
// The connected peer, of either family; nullopt when unknown.
std::optional<IpAddress> PeerIpAddress(const Socket& socket);

// The interface index a zone names (a name or a number), 0 when there is none.
unsigned ZoneIndex(const std::string& zone);
// The zone text for an interface index: its name where the system has one.
std::string ZoneName(unsigned interfaceIndex);

}  // namespace quarn::platform
