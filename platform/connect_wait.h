#pragma once

#include <chrono>
#include <stop_token>

namespace quarn::platform {

// Waits for a non-blocking connect on fd to finish, the timeout or the stop. True once
// connected; otherwise false with errno saying why (ETIMEDOUT, ECANCELED or the connect's
// own error). Shared by both address families.
bool WaitConnectFinished(int fd, std::chrono::milliseconds timeout, const std::stop_token& stop);

}  // namespace quarn::platform
