#include "console/net/abortable_socket.h"

namespace quarn::console {

bool AbortableSocket::Attach(platform::Socket socket) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (aborted_.stop_requested()) {
        return false;  // `socket` closes as it goes out of scope
    }
    socket_ = std::move(socket);
    return true;
}

void AbortableSocket::Abort() {
    aborted_.request_stop();
    Wake();
}

void AbortableSocket::Wake() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (socket_.Valid()) {
        socket_.ShutdownBoth();
    }
}

void AbortableSocket::Close() {
    std::lock_guard<std::mutex> lock(mutex_);
    socket_.Close();
}

}  // namespace quarn::console
