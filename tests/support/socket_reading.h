#pragma once

#include <cstdint>
#include <string>

#include "platform/socket.h"

namespace quarn::test_support {

struct StreamRead {
    std::string data;
    bool closed = false;  // the peer closed (or reset) the connection within the time
};

// Reads until the peer closes or timeoutMs has passed in all.
StreamRead ReadUntilClosed(const platform::Socket& socket, int timeoutMs);

// Reads until data holds fragment, the peer closes or timeoutMs has passed.
StreamRead ReadUntilContains(const platform::Socket& socket, const std::string& fragment,
                             int timeoutMs);

// A TCP connection to 127.0.0.1:port (invalid socket on failure).
platform::Socket ConnectLoopback(uint16_t port, int timeoutMs = 2000);

}  // namespace quarn::test_support
