#include "platform/readable_watch_win.h"

namespace quarn::platform {

ReadableWatch::ReadableWatch(const Socket& socket)
    : socket_(static_cast<SOCKET>(static_cast<intptr_t>(socket.Fd()))) {
    overlapped_.hEvent = WSACreateEvent();
    if (overlapped_.hEvent == WSA_INVALID_EVENT) {
        overlapped_.hEvent = nullptr;
        return;
    }
    Arm();
}

void ReadableWatch::Arm() {
    WSABUF nothing{0, nullptr};
    DWORD flags = 0;
    pending_ = false;
    if (WSARecv(socket_, &nothing, 1, nullptr, &flags, &overlapped_, nullptr) == 0) {
        return;  // ready already; the event is set
    }
    pending_ = WSAGetLastError() == WSA_IO_PENDING;
    if (!pending_) {
        // A failed socket wakes its waiter at once, who then sees why.
        WSASetEvent(overlapped_.hEvent);
    }
}

void ReadableWatch::Rearm() {
    if (!Usable()) {
        return;
    }
    if (pending_) {
        DWORD ignored = 0;
        DWORD flags = 0;
        if (!WSAGetOverlappedResult(socket_, &overlapped_, &ignored, FALSE, &flags) &&
            WSAGetLastError() == WSA_IO_INCOMPLETE) {
            return;  // still watching
        }
    }
    // Reset here, not left to the receive: a set event under a pending receive would wake
    // every wait at once.
    WSAResetEvent(overlapped_.hEvent);
    const HANDLE event = overlapped_.hEvent;
    overlapped_ = WSAOVERLAPPED{};
    overlapped_.hEvent = event;
    Arm();
}

ReadableWatch::~ReadableWatch() {
    if (pending_) {
        CancelIoEx(reinterpret_cast<HANDLE>(socket_), &overlapped_);
        DWORD ignored = 0;
        DWORD flags = 0;
        WSAGetOverlappedResult(socket_, &overlapped_, &ignored, TRUE, &flags);
    }
    if (Usable()) {
        WSACloseEvent(overlapped_.hEvent);
    }
}

bool PeerGoneDroppingBytes(const Socket& socket) {
    WSAPOLLFD pfd{static_cast<SOCKET>(static_cast<intptr_t>(socket.Fd())), POLLRDNORM, 0};
    if (WSAPoll(&pfd, 1, 0) < 0 || (pfd.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) {
        return true;
    }
    if ((pfd.revents & POLLRDNORM) == 0) {
        return false;
    }
    char scratch[512];
    return ::recv(pfd.fd, scratch, sizeof scratch, 0) <= 0;
}

}  // namespace quarn::platform
