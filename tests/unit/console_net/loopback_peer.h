#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "console/net/discovery_options.h"
#include "platform/socket.h"

namespace quarn::console::testing {

inline constexpr uint32_t kLoopback = 0x7F000001;  // 127.0.0.1

// A control-port stand-in on 127.0.0.1: accepts one connection and runs `script` on it in
// its own thread. The accepted socket has a 5 s receive timeout so no script can hang a test.
class LoopbackPeer {
  public:
    using Script = std::function<void(const platform::Socket& connection)>;

    explicit LoopbackPeer(Script script);
    ~LoopbackPeer();
    LoopbackPeer(const LoopbackPeer&) = delete;
    LoopbackPeer& operator=(const LoopbackPeer&) = delete;

    uint16_t Port() const { return port_; }
    // Waits for the script to end; then everything it recorded may be read.
    void Join();

  private:
    platform::Socket listener_;
    uint16_t port_ = 0;
    std::thread thread_;
};

// Reads up to and including the first CR LF (or until close/timeout).
std::string ReadRequestLine(const platform::Socket& connection);
// Waits until the other side closes or shuts down its connection; false on timeout.
bool AwaitPeerClose(const platform::Socket& connection);

// A discovery stand-in on 127.0.0.1: answers each "hello" with `replies` and counts what
// arrives, by first word.
class LoopbackResponder {
  public:
    explicit LoopbackResponder(std::vector<std::string> replies);
    ~LoopbackResponder();
    LoopbackResponder(const LoopbackResponder&) = delete;
    LoopbackResponder& operator=(const LoopbackResponder&) = delete;

    uint16_t Port() const { return port_; }
    int Probes() const { return probes_.load(); }
    int Restarts() const { return restarts_.load(); }

  private:
    void Serve();

    std::vector<std::string> replies_;
    platform::Socket socket_;
    uint16_t port_ = 0;
    std::atomic<bool> stop_{false};
    std::atomic<int> probes_{0};
    std::atomic<int> restarts_{0};
    std::thread thread_;
};

// A search that asks only the responder, with a short reply timeout.
inline DiscoveryOptions LoopbackOptions(const LoopbackResponder& responder) {
    DiscoveryOptions options;
    options.destinations = {kLoopback};
    options.port = responder.Port();
    options.replyTimeoutMs = 200;
    return options;
}

}  // namespace quarn::console::testing
