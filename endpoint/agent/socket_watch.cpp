#include "endpoint/agent/socket_watch.h"

#include <algorithm>

namespace quarn::agent {

bool SocketWatch::Add(const platform::Socket& socket) {
    std::lock_guard lock(mutex_);
    if (woken_) {
        return false;
    }
    sockets_.push_back(&socket);
    return true;
}

void SocketWatch::Remove(const platform::Socket& socket) {
    std::lock_guard lock(mutex_);
    sockets_.erase(std::remove(sockets_.begin(), sockets_.end(), &socket), sockets_.end());
}

void SocketWatch::WakeAll() {
    std::lock_guard lock(mutex_);
    woken_ = true;
    // Under the lock: no owner can close a socket while it is still listed.
    for (const platform::Socket* socket : sockets_) {
        socket->ShutdownBoth();
    }
}

bool SocketWatch::Woken() const {
    std::lock_guard lock(mutex_);
    return woken_;
}

}  // namespace quarn::agent
