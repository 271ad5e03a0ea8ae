#pragma once

#include <mutex>
#include <stop_token>

#include "platform/socket.h"

namespace quarn::console {

// A session's connection: used and closed by the session's threads, and shut down from
// the main thread to wake a blocked receive. The lock keeps that shutdown from ever
// reaching a descriptor number that was closed and reused meanwhile.
class AbortableSocket {
  public:
    // Takes the connected socket; closes it and returns false when Abort came first.
    bool Attach(platform::Socket socket);
    // For the session's threads while attached; never closed under them.
    const platform::Socket& Get() const { return socket_; }

    // Any thread: marks the session aborted and shuts the connection down.
    void Abort();
    bool Aborted() const { return aborted_.stop_requested(); }
    // Stopped by Abort: lets a blocking connect give up as soon as the session is aborted.
    std::stop_token AbortToken() const { return aborted_.get_token(); }
    // Shuts the connection down without marking it aborted (the session ends its reader).
    void Wake();
    // The owning thread, once no other thread uses the socket.
    void Close();

  private:
    mutable std::mutex mutex_;
    platform::Socket socket_;
    std::stop_source aborted_;
};

}  // namespace quarn::console
