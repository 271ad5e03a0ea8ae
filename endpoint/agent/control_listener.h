#pragma once

#include <cstdint>

#include "endpoint/agent/agent_state.h"
#include "endpoint/agent/thread_group.h"
#include "platform/socket.h"

namespace quarn::agent {

// Accepts control connections and serves each on its own thread of the group.
class ControlListener {
  public:
    ControlListener(AgentState& state, ThreadGroup& connections)
        : state_(state), connections_(connections) {}

    // False when the port is taken.
    bool Bind();
    uint16_t Port() const { return platform::LocalPort(socket_); }
    // Accepts until shutdown; Wake() (from another thread) unblocks the accept.
    void Run();
    void Wake() const { socket_.ShutdownBoth(); }
    // Once Run has returned.
    void Close() { socket_.Close(); }

  private:
    AgentState& state_;
    ThreadGroup& connections_;
    platform::Socket socket_;
};

}  // namespace quarn::agent
