#include "platform/socket.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>

#include "platform/connect_wait.h"
#include "platform/deadline.h"
#include "platform/wake_event.h"

namespace quarn::platform {
namespace {

sockaddr_in MakeAddress(uint32_t addr, uint16_t port) {
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = htonl(addr);
    sa.sin_port = htons(port);
    return sa;
}

bool SetOption(int fd, int level, int name, int value) {
    return setsockopt(fd, level, name, &value, sizeof value) == 0;
}

bool SetNonBlocking(int fd, bool on) {
    const int flags = fcntl(fd, F_GETFL);
    if (flags < 0) {
        return false;
    }
    return fcntl(fd, F_SETFL, on ? (flags | O_NONBLOCK) : (flags & ~O_NONBLOCK)) == 0;
}

// Keeps errno of the failing call across the close of the half-made socket.
Socket Fail(Socket& socket) {
    const int saved = errno;
    socket.Close();
    errno = saved;
    return Socket();
}

bool IsTimeout(int error) {
    return error == EAGAIN || error == EWOULDBLOCK;
}

}  // namespace

Socket& Socket::operator=(Socket&& other) noexcept {
    if (this != &other) {
        Close();
        fd_ = other.Release();
    }
    return *this;
}

void Socket::Close() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

void Socket::ShutdownBoth() const {
    if (fd_ >= 0) {
        ::shutdown(fd_, SHUT_RDWR);
    }
}

int Socket::Release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
}

Socket TcpConnect(uint32_t addr, uint16_t port, int timeoutMs) {
    return TcpConnect(addr, port, std::chrono::milliseconds(timeoutMs), std::stop_token());
}

namespace {

// The connect of TcpConnect and TcpConnectFrom, from localAddr when one is given.
Socket Connect(std::optional<uint32_t> localAddr, uint32_t addr, uint16_t port,
               std::chrono::milliseconds timeout, const std::stop_token& stop) {
    Socket socket(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!socket.Valid() || !SetNonBlocking(socket.Fd(), true)) {
        return Fail(socket);
    }
    if (localAddr) {
        const sockaddr_in local = MakeAddress(*localAddr, 0);
        if (::bind(socket.Fd(), reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
            return Fail(socket);
        }
    }
    const sockaddr_in sa = MakeAddress(addr, port);
    if (::connect(socket.Fd(), reinterpret_cast<const sockaddr*>(&sa), sizeof sa) != 0) {
        if (errno != EINPROGRESS || !WaitConnectFinished(socket.Fd(), timeout, stop)) {
            return Fail(socket);
        }
    }
    if (!SetNonBlocking(socket.Fd(), false)) {
        return Fail(socket);
    }
    return socket;
}

}  // namespace

Socket TcpConnect(uint32_t addr, uint16_t port, std::chrono::milliseconds timeout,
                  const std::stop_token& stop) {
    return Connect(std::nullopt, addr, port, timeout, stop);
}

Socket TcpConnectFrom(uint32_t localAddr, uint32_t addr, uint16_t port, int timeoutMs) {
    return Connect(localAddr, addr, port, std::chrono::milliseconds(timeoutMs), std::stop_token());
}

Socket TcpListen(uint32_t addr, uint16_t port, int backlog) {
    Socket socket(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!socket.Valid() || !SetOption(socket.Fd(), SOL_SOCKET, SO_REUSEADDR, 1)) {
        return Fail(socket);
    }
    const sockaddr_in sa = MakeAddress(addr, port);
    if (::bind(socket.Fd(), reinterpret_cast<const sockaddr*>(&sa), sizeof sa) != 0 ||
        ::listen(socket.Fd(), backlog) != 0) {
        return Fail(socket);
    }
    return socket;
}

Socket UdpSocket(bool broadcast) {
    Socket socket(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
    if (!socket.Valid()) {
        return socket;
    }
    if (broadcast && !SetOption(socket.Fd(), SOL_SOCKET, SO_BROADCAST, 1)) {
        return Fail(socket);
    }
    return socket;
}

Socket UdpBind(uint32_t addr, uint16_t port, bool broadcast) {
    Socket socket = UdpSocket(broadcast);
    if (!socket.Valid()) {
        return socket;
    }
    const sockaddr_in sa = MakeAddress(addr, port);
    if (::bind(socket.Fd(), reinterpret_cast<const sockaddr*>(&sa), sizeof sa) != 0) {
        return Fail(socket);
    }
    return socket;
}

bool SetRecvTimeout(const Socket& socket, int ms) {
    timeval tv{};
    tv.tv_sec = ms / 1000;
    tv.tv_usec = (ms % 1000) * 1000;
    return setsockopt(socket.Fd(), SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv) == 0;
}

RecvResult Receive(const Socket& socket, char* buf, size_t len) {
    ssize_t received;
    do {
        received = ::recv(socket.Fd(), buf, len, 0);
    } while (received < 0 && errno == EINTR);
    if (received > 0) {
        return {RecvStatus::Data, static_cast<size_t>(received)};
    }
    if (received == 0) {
        return {RecvStatus::Closed, 0};
    }
    return {IsTimeout(errno) ? RecvStatus::TimedOut : RecvStatus::Error, 0};
}

bool SendAll(const Socket& socket, std::string_view data) {
    while (!data.empty()) {
        const ssize_t sent = ::send(socket.Fd(), data.data(), data.size(), MSG_NOSIGNAL);
        if (sent < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        data.remove_prefix(static_cast<size_t>(sent));
    }
    return true;
}

bool SendAllWithin(const Socket& socket, std::string_view data, std::chrono::milliseconds limit) {
    const auto deadline = SteadyClock::now() + limit;
    while (!data.empty()) {
        const int leftMs = PollTimeoutMs(deadline);
        timeval tv{};
        tv.tv_sec = leftMs / 1000;
        tv.tv_usec = (leftMs % 1000) * 1000;
        if (leftMs == 0 || setsockopt(socket.Fd(), SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv) != 0) {
            return false;
        }
        const ssize_t sent = ::send(socket.Fd(), data.data(), data.size(), MSG_NOSIGNAL);
        if (sent < 0 && errno != EINTR) {
            return false;
        }
        data.remove_prefix(static_cast<size_t>(std::max<ssize_t>(sent, 0)));
    }
    return true;
}

bool KeepAliveWithin(const Socket& socket, std::chrono::milliseconds limit) {
    // Idle for half the limit, then three probes in the other half.
    const int idleSeconds = std::max(1, static_cast<int>(limit.count() / 2000));
    const int intervalSeconds = std::max(1, static_cast<int>(limit.count() / 6000));
    const int fd = socket.Fd();
    return SetOption(fd, SOL_SOCKET, SO_KEEPALIVE, 1) &&
           SetOption(fd, IPPROTO_TCP, TCP_KEEPIDLE, idleSeconds) &&
           SetOption(fd, IPPROTO_TCP, TCP_KEEPINTVL, intervalSeconds) &&
           SetOption(fd, IPPROTO_TCP, TCP_KEEPCNT, 3) &&
           SetOption(fd, IPPROTO_TCP, TCP_USER_TIMEOUT, static_cast<int>(limit.count()));
}

bool SendTo(const Socket& socket, std::string_view data, uint32_t addr, uint16_t port) {
    const sockaddr_in sa = MakeAddress(addr, port);
    ssize_t sent;
    do {
        sent = ::sendto(socket.Fd(), data.data(), data.size(), MSG_NOSIGNAL,
                        reinterpret_cast<const sockaddr*>(&sa), sizeof sa);
    } while (sent < 0 && errno == EINTR);
    return sent == static_cast<ssize_t>(data.size());
}

DatagramResult ReceiveFrom(const Socket& socket, size_t maxLen) {
    DatagramResult result;
    Datagram& datagram = result.datagram;
    datagram.data.resize(maxLen);
    sockaddr_in sa{};
    socklen_t length = sizeof sa;
    ssize_t received;
    do {
        received = ::recvfrom(socket.Fd(), datagram.data.data(), maxLen, 0,
                              reinterpret_cast<sockaddr*>(&sa), &length);
    } while (received < 0 && errno == EINTR);
    if (received < 0) {
        datagram.data.clear();
        result.status = IsTimeout(errno) ? RecvStatus::TimedOut : RecvStatus::Error;
        return result;
    }
    datagram.data.resize(static_cast<size_t>(received));
    datagram.addr = ntohl(sa.sin_addr.s_addr);
    datagram.port = ntohs(sa.sin_port);
    result.status = RecvStatus::Data;
    return result;
}

Socket Accept(const Socket& listener) {
    int fd;
    do {
        fd = ::accept4(listener.Fd(), nullptr, nullptr, SOCK_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    return Socket(fd);
}

uint16_t LocalPort(const Socket& socket) {
    sockaddr_storage bound{};
    socklen_t length = sizeof bound;
    if (getsockname(socket.Fd(), reinterpret_cast<sockaddr*>(&bound), &length) != 0) {
        return 0;
    }
    if (bound.ss_family == AF_INET6) {
        sockaddr_in6 v6{};
        std::memcpy(&v6, &bound, sizeof v6);
        return ntohs(v6.sin6_port);
    }
    sockaddr_in v4{};
    std::memcpy(&v4, &bound, sizeof v4);
    return ntohs(v4.sin_port);
}

std::optional<uint32_t> PeerAddress(const Socket& socket) {
    sockaddr_in sa{};
    socklen_t length = sizeof sa;
    if (getpeername(socket.Fd(), reinterpret_cast<sockaddr*>(&sa), &length) != 0 ||
        sa.sin_family != AF_INET) {
        return std::nullopt;
    }
    return ntohl(sa.sin_addr.s_addr);
}

bool PeerHasClosed(const Socket& socket) {
    pollfd pfd{socket.Fd(), POLLRDHUP, 0};
    int ready;
    do {
        ready = poll(&pfd, 1, 0);
    } while (ready < 0 && errno == EINTR);
    return ready < 0 || (pfd.revents & (POLLRDHUP | POLLHUP | POLLERR | POLLNVAL)) != 0;
}

StreamWait WaitForDataOrHangUp(const Socket& source, const Socket& watched) {
    pollfd fds[2] = {{source.Fd(), POLLIN, 0}, {watched.Fd(), POLLRDHUP, 0}};
    while (true) {
        const int ready = poll(fds, 2, -1);
        if (ready < 0) {
            if (errno == EINTR) {
                continue;
            }
            return StreamWait::Failed;
        }
        if (fds[1].revents & (POLLRDHUP | POLLHUP | POLLERR | POLLNVAL)) {
            return StreamWait::WatchedGone;
        }
        if (fds[0].revents != 0) {
            return StreamWait::SourceReadable;
        }
    }
}

struct RelayWatch {};

void RelayWatchDelete::operator()(RelayWatch* watch) const {
    delete watch;
}

// poll() keeps nothing between waits.
RelayStep RelayWait::Next(char* buf, size_t len) {
    const StreamWait wait = WaitForDataOrHangUp(source_, watched_);
    if (wait != StreamWait::SourceReadable) {
        return {wait, 0};
    }
    const RecvResult got = Receive(source_, buf, len);
    return {wait, got.status == RecvStatus::Data ? got.bytes : 0};
}

}  // namespace quarn::platform
