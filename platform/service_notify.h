#pragma once

#include <string>
#include <string_view>

namespace quarn::platform {

// Tells a service manager that started us with readiness notification how the service is
// (systemd's Type=notify: "READY=1", "STOPPING=1" to the datagram socket named by
// NOTIFY_SOCKET). Elsewhere (Windows) it does nothing.
class ServiceNotifier {
  public:
    // Takes the socket's name out of the environment, so that the programs we start (iperf)
    // do not inherit it: they are not the service. Build it before any thread starts, as
    // changing the environment is not safe beside other threads.
    ServiceNotifier();
    // A path, or "@name" for an abstract socket; empty for none.
    explicit ServiceNotifier(std::string socketName) : socketName_(std::move(socketName)) {}

    // True when the message was sent; false, doing nothing, when no manager waits for it.
    bool Ready() const;
    bool Stopping() const;

  private:
    std::string socketName_;
};

// One message to the socket `socketName` (a path, or "@name").
bool NotifyService(const std::string& socketName, std::string_view message);

}  // namespace quarn::platform
