#pragma once

#include <string>

namespace quarn::test_support {

// A service manager's end of the notification socket (Linux).
class NotifyListener {
  public:
    // `name`: a path, or "@name" for an abstract socket.
    explicit NotifyListener(const std::string& name);
    ~NotifyListener();
    NotifyListener(const NotifyListener&) = delete;
    NotifyListener& operator=(const NotifyListener&) = delete;

    bool Bound() const { return bound_; }
    // The next message, or "" when none comes within 2 s.
    std::string Receive() const;

  private:
    int fd_;
    bool bound_ = false;
};

}  // namespace quarn::test_support
