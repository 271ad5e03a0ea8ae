// winsock2.h must come before windows.h.
#include <winsock2.h>

#include <windows.h>
#include <ws2tcpip.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>

#include "platform/socket6.h"
#include "platform/winsock_win.h"

namespace quarn::platform {
namespace {

SOCKET S6(int fd) {
    return static_cast<SOCKET>(static_cast<intptr_t>(fd));
}

sockaddr_in6 MakeAddress6(const IpAddress& address, uint16_t port) {
    sockaddr_in6 sa{};
    sa.sin6_family = AF_INET6;
    sa.sin6_port = htons(port);
    std::memcpy(sa.sin6_addr.s6_addr, address.V6Bytes().data(), 16);
    sa.sin6_scope_id = address.Zone().empty() ? 0 : ZoneIndex(address.Zone());
    return sa;
}

IpAddress FromSockaddr6(const sockaddr_in6& sa) {
    IpAddress::Bytes6 bytes;
    std::memcpy(bytes.data(), sa.sin6_addr.s6_addr, 16);
    const IpAddress plain = IpAddress::V6(bytes);
    const bool scoped = plain.IsLinkLocal() || plain.IsMulticast();
    return IpAddress::V6(
        bytes, scoped && sa.sin6_scope_id != 0 ? ZoneName(sa.sin6_scope_id) : std::string());
}

// Overlapped like the IPv4 sockets, so that shutting one down ends a blocked call.
Socket NewV6Only(int type, int protocol) {
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);  // counted; the IPv4 side keeps Winsock started too
    const SOCKET s = WSASocketW(AF_INET6, type, protocol, nullptr, 0,
                                WSA_FLAG_OVERLAPPED | WSA_FLAG_NO_HANDLE_INHERIT);
    Socket socket(s == INVALID_SOCKET ? -1 : static_cast<int>(s));
    const DWORD on = 1;
    if (socket.Valid() && setsockopt(s, IPPROTO_IPV6, IPV6_V6ONLY,
                                     reinterpret_cast<const char*>(&on), sizeof on) != 0) {
        return ClosedOnWinsockError(socket);
    }
    return socket;
}

bool Bind6(const Socket& socket, const IpAddress& address, uint16_t port) {
    const sockaddr_in6 sa = MakeAddress6(address, port);
    return ::bind(S6(socket.Fd()), reinterpret_cast<const sockaddr*>(&sa), sizeof sa) == 0;
}

}  // namespace

// Windows zones are interface indexes.
unsigned ZoneIndex(const std::string& zone) {
    unsigned index = 0;
    const auto [end, error] = std::from_chars(zone.data(), zone.data() + zone.size(), index);
    return !zone.empty() && error == std::errc() && end == zone.data() + zone.size() ? index : 0;
}

std::string ZoneName(unsigned interfaceIndex) {
    return std::to_string(interfaceIndex);
}

// Exclusive, as the IPv4 sockets are: SO_REUSEADDR on Windows would let a second program
// take a bound port over.
bool Exclusive(const Socket& socket) {
    const DWORD on = 1;
    return setsockopt(S6(socket.Fd()), SOL_SOCKET, SO_EXCLUSIVEADDRUSE,
                      reinterpret_cast<const char*>(&on), sizeof on) == 0;
}

Socket UdpBind6(const IpAddress& address, uint16_t port) {
    Socket socket = NewV6Only(SOCK_DGRAM, IPPROTO_UDP);
    if (socket.Valid() && (!Exclusive(socket) || !Bind6(socket, address, port))) {
        return ClosedOnWinsockError(socket);
    }
    return socket;
}

bool JoinGroup6(const Socket& socket, const IpAddress& group, unsigned interfaceIndex) {
    ipv6_mreq request{};
    std::memcpy(request.ipv6mr_multiaddr.s6_addr, group.V6Bytes().data(), 16);
    request.ipv6mr_interface = interfaceIndex;
    return setsockopt(S6(socket.Fd()), IPPROTO_IPV6, IPV6_ADD_MEMBERSHIP,
                      reinterpret_cast<const char*>(&request), sizeof request) == 0;
}

bool ReceiveJoinedGroupsOnly6(const Socket& /*socket*/) {
    return true;  // what Windows does anyway
}

Socket TcpListen6(const IpAddress& address, uint16_t port, int backlog) {
    Socket socket = NewV6Only(SOCK_STREAM, IPPROTO_TCP);
    if (!socket.Valid() || !Exclusive(socket) || !Bind6(socket, address, port) ||
        ::listen(S6(socket.Fd()), backlog) != 0) {
        return ClosedOnWinsockError(socket);
    }
    return socket;
}

Socket TcpConnect6(const IpAddress& address, uint16_t port, int timeoutMs) {
    return TcpConnect6(address, port, std::chrono::milliseconds(timeoutMs), std::stop_token());
}

Socket TcpConnect6(const IpAddress& address, uint16_t port, std::chrono::milliseconds timeout,
                   const std::stop_token& stop) {
    Socket socket = NewV6Only(SOCK_STREAM, IPPROTO_TCP);
    if (!socket.Valid()) {
        return socket;
    }
    const sockaddr_in6 sa = MakeAddress6(address, port);
    if (!ConnectWithin(S6(socket.Fd()), reinterpret_cast<const sockaddr*>(&sa), sizeof sa, timeout,
                       stop)) {
        return ClosedKeepingErrno(socket);
    }
    return socket;
}

Datagram6Result ReceiveFrom6(const Socket& socket, size_t maxLen) {
    Datagram6Result result;
    // As with Accept: the cancel that wakes a receive misses one not yet begun.
    if (socket.WasShutDown()) {
        result.status = RecvStatus::Error;
        return result;
    }
    Datagram6& datagram = result.datagram;
    datagram.data.resize(maxLen);
    sockaddr_in6 sa{};
    int length = sizeof sa;
    const int received = ::recvfrom(S6(socket.Fd()), datagram.data.data(), static_cast<int>(maxLen),
                                    0, reinterpret_cast<sockaddr*>(&sa), &length);
    const int error = received < 0 ? WSAGetLastError() : 0;
    if ((received < 0 && error != WSAEMSGSIZE) || sa.sin6_family != AF_INET6) {
        datagram.data.clear();
        result.status = error == WSAETIMEDOUT ? RecvStatus::TimedOut : RecvStatus::Error;
        return result;
    }
    datagram.data.resize(received < 0 ? maxLen : static_cast<size_t>(received));
    datagram.addr = FromSockaddr6(sa);
    datagram.port = ntohs(sa.sin6_port);
    result.status = RecvStatus::Data;
    return result;
}

bool SendTo6(const Socket& socket, std::string_view data, const IpAddress& address, uint16_t port) {
    const sockaddr_in6 sa = MakeAddress6(address, port);
    const int sent = ::sendto(S6(socket.Fd()), data.data(), static_cast<int>(data.size()), 0,
                              reinterpret_cast<const sockaddr*>(&sa), sizeof sa);
    return sent == static_cast<int>(data.size());
}

std::optional<IpAddress> PeerIpAddress(const Socket& socket) {
    sockaddr_storage storage{};
    int length = sizeof storage;
    if (getpeername(S6(socket.Fd()), reinterpret_cast<sockaddr*>(&storage), &length) != 0) {
        return std::nullopt;
    }
    if (storage.ss_family == AF_INET) {
        const auto& sa = reinterpret_cast<const sockaddr_in&>(storage);
        return IpAddress::V4(ntohl(sa.sin_addr.s_addr));
    }
    if (storage.ss_family == AF_INET6) {
        return FromSockaddr6(reinterpret_cast<const sockaddr_in6&>(storage));
    }
    return std::nullopt;
}

}  // namespace quarn::platform
