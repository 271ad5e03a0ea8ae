#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "endpoint/agent/agent_state.h"
#include "platform/adapters.h"
#include "platform/socket.h"

namespace quarn::agent {

// The replies to one probe: one per qualifying address, with the default iperf port, the
// control port and the name in the locale's character set (shortened to fit a datagram).
std::vector<std::string> ProbeReplies(const std::vector<platform::Adapter>& adapters,
                                      const std::string& name, uint16_t controlPort);

// Answers "hello" on the discovery port and runs onRestart for "restart".
class DiscoveryResponder {
  public:
    DiscoveryResponder(AgentState& state, std::function<void()> onRestart)
        : state_(state), onRestart_(std::move(onRestart)) {}

    // False when the port is taken.
    bool Bind();
    uint16_t Port() const { return platform::LocalPort(socket_); }
    // Serves until shutdown; Wake() (from another thread) makes it notice at once.
    void Run();
    void Wake() const { socket_.ShutdownBoth(); }
    // Once Run has returned.
    void Close() { socket_.Close(); }

  private:
    void Answer(const platform::Datagram& probe);

    AgentState& state_;
    std::function<void()> onRestart_;
    platform::Socket socket_;
};

}  // namespace quarn::agent
