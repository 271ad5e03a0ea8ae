#pragma once

#include <winsock2.h>

#include <windows.h>

#include <array>
#include <cstddef>
#include <optional>

#include "platform/socket.h"

namespace quarn::platform {

// A receive kept in flight on a socket, overlapped, so that a wait sleeps on its event and
// wakes with the bytes already taken: a zero-byte watch followed by a receive costs one
// system call more per chunk (two wineserver calls under Wine). A local ShutdownBoth
// cancels the receive, which sets the event too. Bytes of a receive still in flight when it
// is destroyed are lost. One thread uses it; the socket outlives it.
class SocketReader {
  public:
    explicit SocketReader(const Socket& socket);
    // Cancels the receive and waits until the system no longer writes into it.
    ~SocketReader();
    SocketReader(const SocketReader&) = delete;
    SocketReader& operator=(const SocketReader&) = delete;

    // False when no event could be made: then nothing can wait on it.
    bool Usable() const { return overlapped_.hEvent != nullptr; }
    HANDLE Event() const { return overlapped_.hEvent; }
    // Bytes copied into buf (at most len), 0 once the peer's end came or the socket failed,
    // nullopt while the receive is still in flight. Never blocks.
    std::optional<size_t> Take(char* buf, size_t len);
    // After its event woke a wait without a completed receive: clears the event so that the
    // next wait sleeps, without losing a completion that comes meanwhile.
    void Quiet();

  private:
    void Post();
    bool Collect();

    SOCKET socket_;
    WSAOVERLAPPED overlapped_{};
    std::array<char, 4096> buffer_{};
    size_t start_ = 0;
    size_t end_ = 0;
    bool pending_ = false;
    bool ended_ = false;
};

}  // namespace quarn::platform
