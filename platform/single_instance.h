#pragma once

#include <string_view>

#include "platform/socket.h"

namespace quarn::platform {

// One instance per network stack: holds the abstract Unix socket "\0quarn-<name>".
// Abstract sockets are per network namespace, so agents in different namespaces coexist.
// On Windows it holds the named mutex "Local\quarn-<name>" and has no raise channel (the
// Windows build has no window).
class SingleInstance {
  public:
    SingleInstance() = default;
    ~SingleInstance() { Release(); }
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // False when another instance holds the name.
    bool Acquire(std::string_view name);
    void Release();
    bool Held() const;

    // Asks the running instance to raise its window; false when none answered.
    static bool NotifyRunning(std::string_view name);

    // Listening socket, readable when a request is pending; -1 when not held.
    int Fd() const;
    // Accepts and drains one pending request without blocking; true when one was "raise".
    bool TakeRaiseRequest();

  private:
#ifdef _WIN32
    void* mutex_ = nullptr;
#else
    Socket listener_;
#endif
};

}  // namespace quarn::platform
