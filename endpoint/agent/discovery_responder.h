#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "endpoint/agent/agent_state.h"
#include "endpoint/agent/probe_rate_limit.h"
#include "platform/adapters.h"
#include "platform/socket.h"

namespace quarn::agent {

// The replies to one probe: one per qualifying address, with the default iperf port, the
// control port (or the UTF-8 mark for a name that is not plain ASCII) and the name cut to
// protocol::kMaxNameCharacters.
std::vector<std::string> ProbeReplies(const std::vector<platform::Adapter>& adapters,
                                      const std::string& name, uint16_t controlPort);

// Answers "hello" and "facts" on the discovery port, within the probe rate limits, and runs
// onRestart for "restart".
class DiscoveryResponder {
  public:
    DiscoveryResponder(AgentState& state, std::function<void()> onRestart,
                       const ProbeRateLimit::Limits& limits = {})
        : state_(state),
          onRestart_(std::move(onRestart)),
          rateLimit_(limits),
          factsLimit_(limits) {}

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
    void AnswerFacts(const platform::Datagram& probe);

    AgentState& state_;
    std::function<void()> onRestart_;
    ProbeRateLimit rateLimit_;
    ProbeRateLimit factsLimit_;  // of its own: "facts" never costs a "hello" its reply
    platform::Socket socket_;
};

}  // namespace quarn::agent
