#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "endpoint/agent/agent_state.h"
#include "endpoint/agent/authentication.h"
#include "endpoint/agent/probe_rate_limit.h"
#include "platform/adapters.h"
#include "platform/socket.h"

namespace quarn::agent {

// The replies to one probe: one per qualifying address, with the default iperf port, the
// control port (or the UTF-8 mark for a name that is not plain ASCII) and the name cut to
// protocol::kMaxNameCharacters.
std::vector<std::string> ProbeReplies(const std::vector<platform::Adapter>& adapters,
                                      const std::string& name, uint16_t controlPort);

// Restarts obeyed: once a second per source (a Console sends three copies), and a few a
// second from everyone, so that a flood of "restart" costs no more than a search.
inline const ProbeRateLimit::Limits kRestartLimits = {1, 1, 8, 4, 1024};

// Answers "hello" and "facts" on the discovery port, within the probe rate limits, and runs
// onRestart for "restart": within kRestartLimits without a key, and with one for each
// authenticated restart once (a forged one costs a tag check, and no stranger can use up a
// Console's share of the limit).
class DiscoveryResponder {
  public:
    DiscoveryResponder(AgentState& state, std::function<void()> onRestart,
                       const ProbeRateLimit::Limits& limits = {},
                       const ProbeRateLimit::Limits& restartLimits = kRestartLimits)
        : state_(state),
          onRestart_(std::move(onRestart)),
          rateLimit_(limits),
          factsLimit_(limits),
          restartLimit_(restartLimits),
          restartGuard_(state.Config().labKey) {}

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
    bool RestartAllowed(const platform::Datagram& restart);
    void AnswerFacts(const platform::Datagram& probe);

    AgentState& state_;
    std::function<void()> onRestart_;
    ProbeRateLimit rateLimit_;
    ProbeRateLimit factsLimit_;  // of its own: "facts" never costs a "hello" its reply
    ProbeRateLimit restartLimit_;
    RestartGuard restartGuard_;
    platform::Socket socket_;
};

}  // namespace quarn::agent
