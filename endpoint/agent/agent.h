#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

#include "endpoint/agent/agent_config.h"
#include "endpoint/agent/agent_observer.h"
#include "endpoint/agent/agent_state.h"
#include "endpoint/agent/control_listener.h"
#include "endpoint/agent/discovery_responder.h"
#include "endpoint/agent/identity.h"
#include "endpoint/agent/thread_group.h"

namespace quarn::agent {

// The EndPoint agent: control server on TCP, discovery responder on UDP, iperf runner and
// identity. The front end owns it and hears from it through an AgentObserver.
class Agent {
  public:
    Agent(AgentConfig config, AgentObserver& observer);
    ~Agent();
    Agent(const Agent&) = delete;
    Agent& operator=(const Agent&) = delete;

    // Ends strays of an earlier instance, binds both ports and starts serving. False when
    // a port is in use (the observer heard OnPortInUse); whatever did bind still serves.
    bool Start();
    // Stops accepting, ends our iperf processes, wakes and joins every thread. Returns
    // within about a second whatever the connections are doing. Idempotent.
    void Shutdown();

    std::string DisplayName() const { return state_.DisplayName(); }
    std::string AddressText() const { return state_.AddressText(); }
    AgentStatus Status() const { return state_.Status(); }
    // The bound ports (they differ from the configuration only when it asked for 0).
    uint16_t ControlPort() const { return state_.ControlPort(); }
    uint16_t DiscoveryPort() const { return responder_.Port(); }
    int NextIperfPort() { return state_.Ports().Next(); }

    // Stores and uses a new display name; false when it could not be stored (it is used
    // for this run all the same) or is not an acceptable name (then nothing changes).
    bool Rename(const std::string& name);
    // Back to the computer name; the stored name is removed.
    void ResetName();

    // "restart": ends our iperf processes and strays, next port back to 5001.
    void Restart();

  private:
    void RefreshLoop();
    void RefreshIdentity();

    AgentState state_;
    ThreadGroup connections_;
    ControlListener listener_;
    DiscoveryResponder responder_;
    std::mutex identityMutex_;
    Identity identity_;

    std::mutex refreshMutex_;
    std::condition_variable_any refreshWake_;
    // Each wakes through a stop_callback on the agent's shutdown token.
    std::jthread listenerThread_;
    std::jthread listener6Thread_;
    std::jthread responderThread_;
    std::jthread responder6Thread_;
    std::jthread refreshThread_;
    bool started_ = false;
    bool stopped_ = false;
};

}  // namespace quarn::agent
