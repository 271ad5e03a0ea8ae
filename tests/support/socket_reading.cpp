#include "tests/support/socket_reading.h"

#include <chrono>

#include "platform/deadline.h"

namespace quarn::test_support {
namespace {

using Clock = std::chrono::steady_clock;
constexpr uint32_t kLoopback = 0x7F000001;

}  // namespace

StreamRead ReadUntilContains(const platform::Socket& socket, const std::string& fragment,
                             int timeoutMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    StreamRead read;
    char buffer[4096];
    while (fragment.empty() || read.data.find(fragment) == std::string::npos) {
        const int leftMs = platform::PollTimeoutMs(deadline);
        if (leftMs == 0) {
            break;
        }
        // A receive timeout rather than poll(): the same code serves the Windows tests.
        if (!platform::SetRecvTimeout(socket, leftMs)) {
            read.closed = true;
            break;
        }
        const platform::RecvResult result = platform::Receive(socket, buffer, sizeof buffer);
        if (result.status == platform::RecvStatus::Data) {
            read.data.append(buffer, result.bytes);
        } else if (result.status != platform::RecvStatus::TimedOut) {
            read.closed = true;
            break;
        }
    }
    return read;
}

StreamRead ReadUntilClosed(const platform::Socket& socket, int timeoutMs) {
    return ReadUntilContains(socket, std::string(), timeoutMs);
}

platform::Socket ConnectLoopback(uint16_t port, int timeoutMs) {
    return platform::TcpConnect(kLoopback, port, timeoutMs);
}

}  // namespace quarn::test_support
