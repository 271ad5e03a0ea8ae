#pragma once

#include <winsock2.h>

#include <windows.h>

#include "platform/socket.h"

namespace quarn::platform {

// An event that is set once a socket has bytes to read or its peer's end arrived, taking
// nothing from it: a zero-byte overlapped receive. WSAEventSelect would do the same but
// make the socket non-blocking under the other threads that use it. One shot until Rearm;
// a local ShutdownBoth (which cancels the socket's I/O) sets it too.
class ReadableWatch {
  public:
    explicit ReadableWatch(const Socket& socket);
    // Cancels the receive and waits until the system is done with it.
    ~ReadableWatch();
    ReadableWatch(const ReadableWatch&) = delete;
    ReadableWatch& operator=(const ReadableWatch&) = delete;

    // False when no event could be made: then the caller looks at the socket in slices.
    bool Usable() const { return overlapped_.hEvent != nullptr; }
    HANDLE Event() const { return overlapped_.hEvent; }
    bool Fired() const { return Usable() && WaitForSingleObject(Event(), 0) == WAIT_OBJECT_0; }
    // After it fired: watches again with the same event, so that a relay costs one receive
    // per line rather than an event made and closed as well.
    void Rearm();

  private:
    void Arm();

    SOCKET socket_;
    WSAOVERLAPPED overlapped_{};
    bool pending_ = false;
};

// After a watch of the socket fired: true when its peer's end came or the socket failed.
// Bytes it sent instead, which nobody reads, are taken and dropped, so that the next watch
// sleeps until more come; a watch that fired without cause takes nothing.
bool PeerGoneDroppingBytes(const Socket& socket);

}  // namespace quarn::platform
