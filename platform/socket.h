#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>

#include "address/ipv4.h"

namespace quarn::platform {

// Owns one file descriptor (a Winsock SOCKET on Windows, whose values fit an int).
// Move-only; closes on destruction.
// ShutdownBoth() may be called from another thread to wake a thread blocked in
// recv/accept on this socket; only the owning thread calls Close().
class Socket {
  public:
    Socket() = default;
    explicit Socket(int fd) : fd_(fd) {}
    ~Socket() { Close(); }

    Socket(Socket&& other) noexcept : fd_(other.Release()) {}
    Socket& operator=(Socket&& other) noexcept;
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;

    int Fd() const { return fd_; }
    bool Valid() const { return fd_ >= 0; }
    void Close();
    void ShutdownBoth() const;
    // Gives up ownership without closing.
    int Release();
#ifdef _WIN32
    // Windows reports no hang-up for a socket shut down here, so waits look at this.
    bool WasShutDown() const {
        return shutDown_.load();
    }
    // The send timeout last set on this socket (-1: not known), so that a send need not set
    // it again each time.
    std::atomic<int>& SendTimeoutMs() const {
        return sendTimeoutMs_;
    }
#endif

  private:
    int fd_ = -1;
#ifdef _WIN32
    mutable std::atomic<bool> shutDown_{false};
    mutable std::atomic<int> sendTimeoutMs_{-1};
#endif
};

// Factories return an invalid Socket on failure with errno kept.
Socket TcpConnect(uint32_t addr, uint16_t port, int timeoutMs);
// The same, but gives up early (errno ECANCELED) once stop is requested, which wakes the
// wait at once.
Socket TcpConnect(uint32_t addr, uint16_t port, std::chrono::milliseconds timeout,
                  const std::stop_token& stop);
// The same from a chosen local address (any port), e.g. one of the 127.x loopback ones.
Socket TcpConnectFrom(uint32_t localAddr, uint32_t addr, uint16_t port, int timeoutMs);
Socket TcpListen(uint32_t addr, uint16_t port, int backlog);
Socket UdpBind(uint32_t addr, uint16_t port, bool broadcast);
Socket UdpSocket(bool broadcast);

bool SetRecvTimeout(const Socket& socket, int ms);

enum class RecvStatus { Data, Closed, TimedOut, Error };

struct RecvResult {
    RecvStatus status = RecvStatus::Error;
    size_t bytes = 0;
};

// Receives into buf and reports why nothing arrived, so a timeout is distinguishable.
RecvResult Receive(const Socket& socket, char* buf, size_t len);

// Sends everything (MSG_NOSIGNAL, retries on EINTR and partial writes).
bool SendAll(const Socket& socket, std::string_view data);
bool SendTo(const Socket& socket, std::string_view data, uint32_t addr, uint16_t port);
// SendAll that gives up (false) once limit has passed with data still unsent: a peer that
// stops reading cannot hold the sender.
bool SendAllWithin(const Socket& socket, std::string_view data, std::chrono::milliseconds limit);
// Keep-alive probes and a user timeout on a TCP connection, so that a peer that vanishes
// (or never acknowledges what was sent) ends it after about limit.
bool KeepAliveWithin(const Socket& socket, std::chrono::milliseconds limit);

struct Datagram {
    std::string data;
    uint32_t addr = 0;  // host order
    uint16_t port = 0;
};

struct DatagramResult {
    RecvStatus status = RecvStatus::Error;  // Data (possibly empty), TimedOut or Error
    Datagram datagram;
};

// Receives one datagram of up to maxLen bytes (longer ones are cut).
DatagramResult ReceiveFrom(const Socket& socket, size_t maxLen);

Socket Accept(const Socket& listener);
// The port a socket of either family is bound to; 0 when unknown.
uint16_t LocalPort(const Socket& socket);
// The connected peer's address (host order), nullopt when unknown.
std::optional<uint32_t> PeerAddress(const Socket& socket);
// Without blocking: true once the peer has closed its side (or the connection failed).
// Bytes waiting to be read do not count.
bool PeerHasClosed(const Socket& socket);

enum class StreamWait { SourceReadable, WatchedGone, Failed };

// Blocks until source has something to read (data or its end) or the peer of watched,
// which sends nothing more, has closed its side. ShutdownBoth on either wakes it.
StreamWait WaitForDataOrHangUp(const Socket& source, const Socket& watched);

// What a RelayWait keeps from one wait to the next: on Windows the receive in flight on the
// source and the watch of the watched socket (making one costs several system calls);
// nothing on Linux.
struct RelayWatch;
struct RelayWatchDelete {
    void operator()(RelayWatch* watch) const;
};

// One step of a relay: with SourceReadable, the bytes of source copied, 0 once its end came
// or it failed.
struct RelayStep {
    StreamWait wait = StreamWait::Failed;
    size_t bytes = 0;
};

// A relay's loop on the same two sockets: each Next waits as WaitForDataOrHangUp does and
// takes what source sent. One thread uses it; both sockets outlive it. Bytes the source
// sends after the last Next may be taken and lost.
class RelayWait {
  public:
    RelayWait(const Socket& source, const Socket& watched) : source_(source), watched_(watched) {}
    RelayStep Next(char* buf, size_t len);

  private:
    const Socket& source_;
    const Socket& watched_;
    std::unique_ptr<RelayWatch, RelayWatchDelete> watch_;
};

}  // namespace quarn::platform
