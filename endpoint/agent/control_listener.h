#pragma once

#include <cstdint>

#include "endpoint/agent/agent_state.h"
#include "endpoint/agent/thread_group.h"
#include "platform/socket.h"
#include "platform/socket6.h"

namespace quarn::agent {

// Accepts control connections and serves each on its own thread of the group.
class ControlListener {
  public:
    ControlListener(AgentState& state, ThreadGroup& connections)
        : state_(state), connections_(connections) {}

    // False when the IPv4 port is taken; IPv6 is listened on besides (when bound to every
    // address) where the system has it.
    bool Bind();
    uint16_t Port() const { return platform::LocalPort(socket_); }
    bool ServesIpv6() const { return socket6_.Valid(); }
    // Accept until shutdown, on the IPv4 and the IPv6 socket; Wake() (from another thread)
    // unblocks both.
    void Run() { AcceptOn(socket_); }
    void Run6() { AcceptOn(socket6_); }
    void Wake() const {
        socket_.ShutdownBoth();
        socket6_.ShutdownBoth();
    }
    // Once Run and Run6 have returned.
    void Close() {
        socket_.Close();
        socket6_.Close();
    }

  private:
    void AcceptOn(const platform::Socket& listener);

    AgentState& state_;
    ThreadGroup& connections_;
    platform::Socket socket_;
    platform::Socket socket6_;
};

}  // namespace quarn::agent
