#pragma once

#include <mutex>
#include <vector>

#include "platform/socket.h"

namespace quarn::agent {

// The sockets that shutdown must wake: a thread blocked in recv, send or accept on one of
// them returns once WakeAll() has shut it down. A socket must leave the watch before it is
// closed; WatchedSocket does that in the right order.
class SocketWatch {
  public:
    // False once WakeAll() has run: the caller should stop at once.
    bool Add(const platform::Socket& socket);
    void Remove(const platform::Socket& socket);
    void WakeAll();
    bool Woken() const;

  private:
    mutable std::mutex mutex_;
    std::vector<const platform::Socket*> sockets_;
    bool woken_ = false;
};

// Keeps a socket in the watch for the guard's lifetime. Declare it after the socket so it
// ends first.
class WatchedSocket {
  public:
    WatchedSocket(SocketWatch& watch, const platform::Socket& socket)
        : watch_(watch), socket_(socket), added_(watch.Add(socket)) {}
    ~WatchedSocket() {
        if (added_) {
            watch_.Remove(socket_);
        }
    }
    WatchedSocket(const WatchedSocket&) = delete;
    WatchedSocket& operator=(const WatchedSocket&) = delete;

    // False when shutdown had already begun.
    explicit operator bool() const { return added_; }

  private:
    SocketWatch& watch_;
    const platform::Socket& socket_;
    bool added_;
};

}  // namespace quarn::agent
