#include <arpa/inet.h>
#include <fcntl.h>
#include <net/if.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>

#include "platform/connect_wait.h"
#include "platform/socket6.h"

#include "platform/deadline.h"
#include "platform/wake_event.h"

namespace quarn::platform {
namespace {

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

Socket Fail6(Socket& socket) {
    const int saved = errno;
    socket.Close();
    errno = saved;
    return Socket();
}

Socket NewV6Only(int type) {
    Socket socket(::socket(AF_INET6, type | SOCK_CLOEXEC, 0));
    const int on = 1;
    if (socket.Valid() && setsockopt(socket.Fd(), IPPROTO_IPV6, IPV6_V6ONLY, &on, sizeof on) != 0) {
        return Fail6(socket);
    }
    return socket;
}

bool Bind6(const Socket& socket, const IpAddress& address, uint16_t port) {
    const sockaddr_in6 sa = MakeAddress6(address, port);
    return ::bind(socket.Fd(), reinterpret_cast<const sockaddr*>(&sa), sizeof sa) == 0;
}

}  // namespace

unsigned ZoneIndex(const std::string& zone) {
    unsigned index = 0;
    const auto [end, error] = std::from_chars(zone.data(), zone.data() + zone.size(), index);
    if (!zone.empty() && error == std::errc() && end == zone.data() + zone.size()) {
        return index;
    }
    return if_nametoindex(zone.c_str());
}

std::string ZoneName(unsigned interfaceIndex) {
    char name[IF_NAMESIZE] = {};
    return if_indextoname(interfaceIndex, name) != nullptr ? std::string(name)
                                                           : std::to_string(interfaceIndex);
}

Socket UdpBind6(const IpAddress& address, uint16_t port) {
    Socket socket = NewV6Only(SOCK_DGRAM);
    if (socket.Valid() && !Bind6(socket, address, port)) {
        return Fail6(socket);
    }
    return socket;
}

bool JoinGroup6(const Socket& socket, const IpAddress& group, unsigned interfaceIndex) {
    ipv6_mreq request{};
    std::memcpy(request.ipv6mr_multiaddr.s6_addr, group.V6Bytes().data(), 16);
    request.ipv6mr_interface = interfaceIndex;
    return setsockopt(socket.Fd(), IPPROTO_IPV6, IPV6_JOIN_GROUP, &request, sizeof request) == 0;
}

bool ReceiveJoinedGroupsOnly6(const Socket& socket) {
    const int off = 0;
    return setsockopt(socket.Fd(), IPPROTO_IPV6, IPV6_MULTICAST_ALL, &off, sizeof off) == 0;
}

Socket TcpListen6(const IpAddress& address, uint16_t port, int backlog) {
    Socket socket = NewV6Only(SOCK_STREAM);
    const int on = 1;
    if (!socket.Valid() || setsockopt(socket.Fd(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) != 0 ||
        !Bind6(socket, address, port) || ::listen(socket.Fd(), backlog) != 0) {
        return Fail6(socket);
    }
    return socket;
}

Socket TcpConnect6(const IpAddress& address, uint16_t port, int timeoutMs) {
    return TcpConnect6(address, port, std::chrono::milliseconds(timeoutMs), std::stop_token());
}

Socket TcpConnect6(const IpAddress& address, uint16_t port, std::chrono::milliseconds timeout,
                   const std::stop_token& stop) {
    Socket socket(::socket(AF_INET6, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    if (!socket.Valid()) {
        return socket;
    }
    const sockaddr_in6 sa = MakeAddress6(address, port);
    if (::connect(socket.Fd(), reinterpret_cast<const sockaddr*>(&sa), sizeof sa) != 0) {
        if (errno != EINPROGRESS || !WaitConnectFinished(socket.Fd(), timeout, stop)) {
            return Fail6(socket);
        }
    }
    const int flags = fcntl(socket.Fd(), F_GETFL);
    if (flags < 0 || fcntl(socket.Fd(), F_SETFL, flags & ~O_NONBLOCK) != 0) {
        return Fail6(socket);
    }
    return socket;
}

Datagram6Result ReceiveFrom6(const Socket& socket, size_t maxLen) {
    Datagram6Result result;
    Datagram6& datagram = result.datagram;
    datagram.data.resize(maxLen);
    sockaddr_in6 sa{};
    socklen_t length = sizeof sa;
    ssize_t received;
    do {
        received = ::recvfrom(socket.Fd(), datagram.data.data(), maxLen, 0,
                              reinterpret_cast<sockaddr*>(&sa), &length);
    } while (received < 0 && errno == EINTR);
    if (received < 0 || sa.sin6_family != AF_INET6) {
        datagram.data.clear();
        const bool timedOut = received < 0 && (errno == EAGAIN || errno == EWOULDBLOCK);
        result.status = timedOut ? RecvStatus::TimedOut : RecvStatus::Error;
        return result;
    }
    datagram.data.resize(static_cast<size_t>(received));
    datagram.addr = FromSockaddr6(sa);
    datagram.port = ntohs(sa.sin6_port);
    result.status = RecvStatus::Data;
    return result;
}

bool SendTo6(const Socket& socket, std::string_view data, const IpAddress& address, uint16_t port) {
    const sockaddr_in6 sa = MakeAddress6(address, port);
    ssize_t sent;
    do {
        sent = ::sendto(socket.Fd(), data.data(), data.size(), MSG_NOSIGNAL,
                        reinterpret_cast<const sockaddr*>(&sa), sizeof sa);
    } while (sent < 0 && errno == EINTR);
    return sent == static_cast<ssize_t>(data.size());
}

std::optional<IpAddress> PeerIpAddress(const Socket& socket) {
    sockaddr_storage storage{};
    socklen_t length = sizeof storage;
    if (getpeername(socket.Fd(), reinterpret_cast<sockaddr*>(&storage), &length) != 0) {
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
