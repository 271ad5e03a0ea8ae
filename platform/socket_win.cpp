#include "platform/socket.h"

// winsock2.h must come before windows.h.
#include <winsock2.h>

#include <mstcpip.h>
#include <mswsock.h>
#include <windows.h>
#include <ws2tcpip.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <optional>

#include "platform/deadline.h"
#include "platform/readable_watch_win.h"
#include "platform/socket_reader_win.h"
#include "platform/wake_event.h"
#include "platform/windows_handle.h"
#include "platform/winsock_win.h"

namespace quarn::platform {
namespace {

// TCP_MAXRT of the Windows SDK, which mingw-w64's headers lack.
constexpr int kTcpMaxRetransmitTime = 5;

// Winsock is started once for the whole program and never stopped: threads may still
// be closing sockets while statics are destroyed.
struct WinsockStart {
    WinsockStart() {
        WSADATA data;
        WSAStartup(MAKEWORD(2, 2), &data);
    }
};

void EnsureWinsock() {
    static const WinsockStart started;
}

SOCKET S(int fd) {
    return static_cast<SOCKET>(static_cast<intptr_t>(fd));
}

// errno for the callers that look at it.
void KeepError() {
    SetErrnoFromWinsock(WSAGetLastError());
}

// Overlapped, so that CancelIoEx can end a blocked call; never inherited by children.
Socket NewSocket(int type, int protocol) {
    EnsureWinsock();
    const SOCKET s = WSASocketW(AF_INET, type, protocol, nullptr, 0,
                                WSA_FLAG_OVERLAPPED | WSA_FLAG_NO_HANDLE_INHERIT);
    if (s == INVALID_SOCKET) {
        KeepError();
        return Socket();
    }
    return Socket(static_cast<int>(s));
}

sockaddr_in MakeAddress(uint32_t addr, uint16_t port) {
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = htonl(addr);
    sa.sin_port = htons(port);
    return sa;
}

bool SetOption(int fd, int level, int name, int value) {
    return setsockopt(S(fd), level, name, reinterpret_cast<const char*>(&value), sizeof value) == 0;
}

// A send may run this much past its deadline rather than set SO_SNDTIMEO anew for each line
// (one system call more, a wineserver call under Wine).
constexpr int kSendTimeoutSlackMs = 20;

// SO_SNDTIMEO within [leftMs, leftMs + slack], set only when the last value is outside.
bool SendTimeoutNear(const Socket& socket, int leftMs) {
    const int last = socket.SendTimeoutMs().load();
    if (last >= leftMs && last <= leftMs + kSendTimeoutSlackMs) {
        return true;
    }
    const DWORD timeout = static_cast<DWORD>(leftMs);
    if (setsockopt(S(socket.Fd()), SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char*>(&timeout),
                   sizeof timeout) != 0) {
        socket.SendTimeoutMs().store(-1);
        return false;
    }
    socket.SendTimeoutMs().store(leftMs);
    return true;
}

bool IsTimeout(int error) {
    return error == WSAETIMEDOUT || error == WSAEWOULDBLOCK;
}

int ReadyEvents(int fd, short events, int timeoutMs) {
    WSAPOLLFD pfd{S(fd), events, 0};
    const int ready = WSAPoll(&pfd, 1, timeoutMs);
    return ready < 0 ? POLLERR : (ready == 0 ? 0 : pfd.revents);
}

}  // namespace

Socket& Socket::operator=(Socket&& other) noexcept {
    if (this != &other) {
        Close();
        fd_ = other.Release();
        shutDown_ = false;
        sendTimeoutMs_ = -1;
    }
    return *this;
}

void Socket::Close() {
    if (fd_ >= 0) {
        closesocket(S(fd_));
        fd_ = -1;
    }
}

void Socket::ShutdownBoth() const {
    if (fd_ >= 0) {
        shutDown_ = true;
        ::shutdown(S(fd_), SD_BOTH);
        // shutdown() wakes no thread blocked in accept or recv on Windows; cancelling its
        // I/O does.
        CancelIoEx(reinterpret_cast<HANDLE>(S(fd_)), nullptr);
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
    Socket socket = NewSocket(SOCK_STREAM, IPPROTO_TCP);
    if (!socket.Valid()) {
        return ClosedOnWinsockError(socket);
    }
    if (localAddr) {
        const sockaddr_in local = MakeAddress(*localAddr, 0);
        if (::bind(S(socket.Fd()), reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
            return ClosedOnWinsockError(socket);
        }
    }
    const sockaddr_in sa = MakeAddress(addr, port);
    if (!ConnectWithin(S(socket.Fd()), reinterpret_cast<const sockaddr*>(&sa), sizeof sa, timeout,
                       stop)) {
        return ClosedKeepingErrno(socket);
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
    Socket socket = NewSocket(SOCK_STREAM, IPPROTO_TCP);
    // Exclusive: on Windows SO_REUSEADDR would let a second program take a bound port.
    if (!socket.Valid() || !SetOption(socket.Fd(), SOL_SOCKET, SO_EXCLUSIVEADDRUSE, 1)) {
        return ClosedOnWinsockError(socket);
    }
    const sockaddr_in sa = MakeAddress(addr, port);
    if (::bind(S(socket.Fd()), reinterpret_cast<const sockaddr*>(&sa), sizeof sa) != 0 ||
        ::listen(S(socket.Fd()), backlog) != 0) {
        return ClosedOnWinsockError(socket);
    }
    return socket;
}

Socket UdpSocket(bool broadcast) {
    Socket socket = NewSocket(SOCK_DGRAM, IPPROTO_UDP);
    if (!socket.Valid()) {
        return socket;
    }
    if (broadcast && !SetOption(socket.Fd(), SOL_SOCKET, SO_BROADCAST, 1)) {
        return ClosedOnWinsockError(socket);
    }
    // A datagram answered by ICMP "port unreachable" must not fail the next receive.
    DWORD off = FALSE;
    DWORD ignored = 0;
    WSAIoctl(S(socket.Fd()), SIO_UDP_CONNRESET, &off, sizeof off, nullptr, 0, &ignored, nullptr,
             nullptr);
    return socket;
}

Socket UdpBind(uint32_t addr, uint16_t port, bool broadcast) {
    Socket socket = UdpSocket(broadcast);
    if (!socket.Valid() || !SetOption(socket.Fd(), SOL_SOCKET, SO_EXCLUSIVEADDRUSE, 1)) {
        return ClosedOnWinsockError(socket);
    }
    const sockaddr_in sa = MakeAddress(addr, port);
    if (::bind(S(socket.Fd()), reinterpret_cast<const sockaddr*>(&sa), sizeof sa) != 0) {
        return ClosedOnWinsockError(socket);
    }
    return socket;
}

bool SetRecvTimeout(const Socket& socket, int ms) {
    const DWORD timeout = static_cast<DWORD>(std::max(ms, 0));
    return setsockopt(S(socket.Fd()), SOL_SOCKET, SO_RCVTIMEO,
                      reinterpret_cast<const char*>(&timeout), sizeof timeout) == 0;
}

RecvResult Receive(const Socket& socket, char* buf, size_t len) {
    const int received =
        ::recv(S(socket.Fd()), buf, static_cast<int>(std::min<size_t>(len, INT_MAX)), 0);
    if (received > 0) {
        return {RecvStatus::Data, static_cast<size_t>(received)};
    }
    if (received == 0) {
        return {RecvStatus::Closed, 0};
    }
    return {IsTimeout(WSAGetLastError()) ? RecvStatus::TimedOut : RecvStatus::Error, 0};
}

bool SendAll(const Socket& socket, std::string_view data) {
    while (!data.empty()) {
        const int sent = ::send(S(socket.Fd()), data.data(),
                                static_cast<int>(std::min<size_t>(data.size(), INT_MAX)), 0);
        if (sent <= 0) {
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
        if (leftMs == 0 || !SendTimeoutNear(socket, leftMs)) {
            return false;
        }
        const int sent = ::send(S(socket.Fd()), data.data(),
                                static_cast<int>(std::min<size_t>(data.size(), INT_MAX)), 0);
        if (sent <= 0) {
            return false;  // after a timed-out send Winsock leaves the socket unusable
        }
        data.remove_prefix(static_cast<size_t>(sent));
    }
    return true;
}

bool KeepAliveWithin(const Socket& socket, std::chrono::milliseconds limit) {
    // Idle for half the limit, then probes; Windows sends ten, a second apart by default,
    // so the interval is what is left divided by ten.
    tcp_keepalive values{};
    values.onoff = 1;
    values.keepalivetime = static_cast<ULONG>(std::max<long long>(1000, limit.count() / 2));
    values.keepaliveinterval = static_cast<ULONG>(std::max<long long>(100, limit.count() / 20));
    DWORD returned = 0;
    const bool keepAlive = WSAIoctl(S(socket.Fd()), SIO_KEEPALIVE_VALS, &values, sizeof values,
                                    nullptr, 0, &returned, nullptr, nullptr) == 0;
    // Retransmissions give up after this many seconds. Best effort: Wine has no such option,
    // and every write has its own deadline anyway.
    const DWORD maxRetransmitSeconds =
        static_cast<DWORD>(std::max<long long>(1, limit.count() / 1000));
    setsockopt(S(socket.Fd()), IPPROTO_TCP, kTcpMaxRetransmitTime,
               reinterpret_cast<const char*>(&maxRetransmitSeconds), sizeof maxRetransmitSeconds);
    return keepAlive;
}

bool SendTo(const Socket& socket, std::string_view data, uint32_t addr, uint16_t port) {
    const sockaddr_in sa = MakeAddress(addr, port);
    const int sent = ::sendto(S(socket.Fd()), data.data(), static_cast<int>(data.size()), 0,
                              reinterpret_cast<const sockaddr*>(&sa), sizeof sa);
    return sent == static_cast<int>(data.size());
}

DatagramResult ReceiveFrom(const Socket& socket, size_t maxLen) {
    DatagramResult result;
    // As with Accept: the cancel that wakes a receive misses one not yet begun.
    if (socket.WasShutDown()) {
        result.status = RecvStatus::Error;
        return result;
    }
    Datagram& datagram = result.datagram;
    datagram.data.resize(maxLen);
    sockaddr_in sa{};
    int length = sizeof sa;
    const int received = ::recvfrom(S(socket.Fd()), datagram.data.data(), static_cast<int>(maxLen),
                                    0, reinterpret_cast<sockaddr*>(&sa), &length);
    const int error = received < 0 ? WSAGetLastError() : 0;
    // A longer datagram is cut to maxLen, as on Linux, not an error.
    if (received < 0 && error != WSAEMSGSIZE) {
        datagram.data.clear();
        result.status = IsTimeout(error) ? RecvStatus::TimedOut : RecvStatus::Error;
        return result;
    }
    datagram.data.resize(received < 0 ? maxLen : static_cast<size_t>(received));
    datagram.addr = ntohl(sa.sin_addr.s_addr);
    datagram.port = ntohs(sa.sin_port);
    result.status = RecvStatus::Data;
    return result;
}

Socket Accept(const Socket& listener) {
    // ShutdownBoth's cancel ends only an accept already under way; one it came before must
    // not begin (a listener thread that gets here late would otherwise wait for ever).
    if (listener.WasShutDown()) {
        WSASetLastError(WSAECANCELLED);
        KeepError();
        return Socket();
    }
    const SOCKET s = ::accept(S(listener.Fd()), nullptr, nullptr);
    if (s == INVALID_SOCKET) {
        KeepError();
        return Socket();
    }
    SetHandleInformation(reinterpret_cast<HANDLE>(s), HANDLE_FLAG_INHERIT, 0);
    return Socket(static_cast<int>(s));
}

uint16_t LocalPort(const Socket& socket) {
    sockaddr_storage bound{};
    int length = sizeof bound;
    if (getsockname(S(socket.Fd()), reinterpret_cast<sockaddr*>(&bound), &length) != 0) {
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
    int length = sizeof sa;
    if (getpeername(S(socket.Fd()), reinterpret_cast<sockaddr*>(&sa), &length) != 0 ||
        sa.sin_family != AF_INET) {
        return std::nullopt;
    }
    return ntohl(sa.sin_addr.s_addr);
}

bool PeerHasClosed(const Socket& socket) {
    const int events = ReadyEvents(socket.Fd(), POLLRDNORM, 0);
    if (events & (POLLHUP | POLLERR | POLLNVAL)) {
        return true;
    }
    if (!(events & POLLRDNORM)) {
        return false;
    }
    // Readable: either bytes wait (not a close) or the peer's end arrived.
    char byte;
    return ::recv(S(socket.Fd()), &byte, 1, MSG_PEEK) <= 0;
}

// Kept from one wait to the next: the source's receive stays in flight, and the watched
// socket's watch is made again only once it has fired.
struct RelayWatch {
    std::optional<SocketReader> source;
    std::optional<ReadableWatch> watched;
    bool watchedFired = false;

    void Ready(const Socket& sourceSocket, const Socket& watchedSocket) {
        if (!source) {
            source.emplace(sourceSocket);
        }
        if (!watched) {
            watched.emplace(watchedSocket);
        } else if (watchedFired) {
            watched->Rearm();
        }
        watchedFired = false;
    }
};

void RelayWatchDelete::operator()(RelayWatch* watch) const {
    delete watch;
}

// A zero-byte receive on each socket, so that nothing is taken from source.
StreamWait WaitForDataOrHangUp(const Socket& source, const Socket& watched) {
    const ReadableWatch sourceWatch(source);
    std::optional<ReadableWatch> watchedWatch;
    while (!source.WasShutDown() && !watched.WasShutDown()) {
        if (watchedWatch) {
            watchedWatch->Rearm();
        } else {
            watchedWatch.emplace(watched);
        }
        if (!sourceWatch.Usable() || !watchedWatch->Usable()) {
            return StreamWait::Failed;
        }
        const HANDLE events[2] = {sourceWatch.Event(), watchedWatch->Event()};
        const DWORD woke = WaitForMultipleObjects(2, events, FALSE, INFINITE);
        if (source.WasShutDown() || watched.WasShutDown()) {
            break;
        }
        if (woke == WAIT_OBJECT_0) {
            return StreamWait::SourceReadable;
        }
        if (woke != WAIT_OBJECT_0 + 1) {
            return StreamWait::Failed;
        }
        if (PeerGoneDroppingBytes(watched)) {
            return StreamWait::WatchedGone;
        }
    }
    return StreamWait::WatchedGone;
}

// Sleeps on the source's receive and the watched socket's zero-byte receive, nothing else:
// no timeout, no look between waits. A local ShutdownBoth cancels those receives, which
// wakes it.
RelayStep RelayWait::Next(char* buf, size_t len) {
    if (!watch_) {
        watch_.reset(new RelayWatch);
    }
    RelayWatch& watch = *watch_;
    while (!source_.WasShutDown() && !watched_.WasShutDown()) {
        watch.Ready(source_, watched_);
        if (!watch.source->Usable() || !watch.watched->Usable()) {
            return {StreamWait::Failed, 0};  // nothing to sleep on
        }
        if (const std::optional<size_t> got = watch.source->Take(buf, len)) {
            return {StreamWait::SourceReadable, *got};
        }
        const HANDLE events[2] = {watch.source->Event(), watch.watched->Event()};
        const DWORD woke = WaitForMultipleObjects(2, events, FALSE, INFINITE);
        if (source_.WasShutDown() || watched_.WasShutDown()) {
            break;
        }
        if (woke == WAIT_OBJECT_0) {
            if (const std::optional<size_t> got = watch.source->Take(buf, len)) {
                return {StreamWait::SourceReadable, *got};
            }
            watch.source->Quiet();  // woken without a completed receive
            continue;
        }
        if (woke != WAIT_OBJECT_0 + 1) {
            return {StreamWait::Failed, 0};
        }
        watch.watchedFired = true;
        if (PeerGoneDroppingBytes(watched_)) {
            return {StreamWait::WatchedGone, 0};
        }
    }
    return {StreamWait::WatchedGone, 0};
}

}  // namespace quarn::platform
