#pragma once

#include <string>

namespace quarn::platform {

// Tells a service manager that started us with readiness notification that the service is
// ready (systemd's Type=notify: "READY=1" to the datagram socket named by NOTIFY_SOCKET).
// True when the message was sent; false, doing nothing, when no manager waits for it.
// Elsewhere (Windows) it does nothing.
bool NotifyServiceReady();

// The same for a given socket name: a path, or "@name" for an abstract socket.
bool NotifyServiceReady(const std::string& socketName);

}  // namespace quarn::platform
