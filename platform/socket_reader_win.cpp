#include "platform/socket_reader_win.h"

#include <algorithm>
#include <cstring>

namespace quarn::platform {

SocketReader::SocketReader(const Socket& socket)
    : socket_(static_cast<SOCKET>(static_cast<intptr_t>(socket.Fd()))) {
    overlapped_.hEvent = WSACreateEvent();
    if (overlapped_.hEvent == WSA_INVALID_EVENT) {
        overlapped_.hEvent = nullptr;
        return;
    }
    Post();
}

SocketReader::~SocketReader() {
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

// Starting the receive clears the event; one that completes at once sets it again.
void SocketReader::Post() {
    const HANDLE event = overlapped_.hEvent;
    overlapped_ = WSAOVERLAPPED{};
    overlapped_.hEvent = event;
    WSABUF into{static_cast<ULONG>(buffer_.size()), buffer_.data()};
    DWORD flags = 0;
    pending_ = WSARecv(socket_, &into, 1, nullptr, &flags, &overlapped_, nullptr) == 0 ||
               WSAGetLastError() == WSA_IO_PENDING;
    if (!pending_) {
        // A failed socket wakes its waiter at once, who then sees the end.
        ended_ = true;
        WSASetEvent(event);
    }
}

// Takes the result of the receive once it has completed; false while it is in flight.
bool SocketReader::Collect() {
    DWORD got = 0;
    DWORD flags = 0;
    if (!WSAGetOverlappedResult(socket_, &overlapped_, &got, FALSE, &flags)) {
        if (WSAGetLastError() == WSA_IO_INCOMPLETE) {
            return false;
        }
        got = 0;  // failed or cancelled
    }
    pending_ = false;
    ended_ = got == 0;
    start_ = 0;
    end_ = got;
    return true;
}

std::optional<size_t> SocketReader::Take(char* buf, size_t len) {
    if (start_ == end_ && pending_ && !Collect()) {
        return std::nullopt;
    }
    if (start_ == end_) {
        return 0;  // ended
    }
    const size_t count = std::min(len, end_ - start_);
    std::memcpy(buf, buffer_.data() + start_, count);
    start_ += count;
    if (start_ == end_) {
        Post();  // so that the next wait has something to wake it
    }
    return count;
}

void SocketReader::Quiet() {
    if (pending_) {
        WSAResetEvent(overlapped_.hEvent);
    }
}

}  // namespace quarn::platform
