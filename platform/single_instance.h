#pragma once

#include <string_view>

#include "platform/socket.h"

namespace quarn::platform {

// One instance per network stack: holds the abstract Unix socket "\0quarn-<name>".
// Abstract sockets are per network namespace, so agents in different namespaces coexist.
class SingleInstance {
  public:
    SingleInstance() = default;

    // False when another instance holds the name.
    bool Acquire(std::string_view name);
    void Release() { listener_.Close(); }
    bool Held() const { return listener_.Valid(); }

    // Asks the running instance to raise its window; false when none answered.
    static bool NotifyRunning(std::string_view name);

    // Listening socket, readable when a request is pending; -1 when not held.
    int Fd() const { return listener_.Fd(); }
    // Accepts and drains one pending request without blocking; true when one was "raise".
    bool TakeRaiseRequest();

  private:
    Socket listener_;
};

}  // namespace quarn::platform
