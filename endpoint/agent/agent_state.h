#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <stop_token>
#include <string>

#include "endpoint/agent/address_snapshot.h"
#include "endpoint/agent/agent_config.h"
#include "endpoint/agent/agent_observer.h"
#include "endpoint/agent/port_allocator.h"
#include "endpoint/agent/socket_watch.h"
#include "endpoint/agent/source_slots.h"

namespace quarn::agent {

// Role of our iperf children in their owner marker.
inline constexpr const char* kIperfOwnerRole = "endpoint";

// What the agent's threads share. One per agent; outlives all of its threads.
class AgentState {
  public:
    AgentState(AgentConfig config, AgentObserver& observer);
    AgentState(const AgentState&) = delete;
    AgentState& operator=(const AgentState&) = delete;

    const AgentConfig& Config() const { return config_; }
    AgentObserver& Observer() { return observer_; }
    PortAllocator& Ports() { return ports_; }
    SocketWatch& Sockets() { return sockets_; }
    AddressSnapshot& Addresses() { return addresses_; }
    // Connections and iperf servers held per source address.
    SourceSlots& ConnectionSlots() { return connectionSlots_; }
    SourceSlots& ServerSlots() { return serverSlots_; }

    bool ShuttingDown() const { return stopAll_.stop_requested(); }
    void RequestShutdown() { stopAll_.request_stop(); }
    // Stopped at shutdown: every thread of the agent wakes through a stop_callback on it.
    std::stop_token ShutdownToken() const { return stopAll_.get_token(); }

    // Running while at least one role is active: a server role from its "ok" reply, a
    // client role from its peer's "ok" reply, each until it ends.
    AgentStatus Status() const { return static_cast<AgentStatus>(status_.load()); }
    void RoleStarted();
    void RoleEnded();

    std::string DisplayName() const;
    std::string AddressText() const;
    // Sets both without reporting (before the agent has started).
    void InitIdentity(const std::string& name, const std::string& addressText);
    // Each reports a change to the observer; true when the value changed.
    bool SetDisplayName(const std::string& name);
    bool SetAddressText(const std::string& text);

    // The control port actually bound (differs from the configured one only for port 0).
    uint16_t ControlPort() const { return controlPort_.load(); }
    void SetControlPort(uint16_t port) { controlPort_.store(port); }

  private:
    const AgentConfig config_;
    AgentObserver& observer_;
    PortAllocator ports_;
    SocketWatch sockets_;
    AddressSnapshot addresses_;
    SourceSlots connectionSlots_;
    SourceSlots serverSlots_;
    std::stop_source stopAll_;
    std::atomic<int> status_{static_cast<int>(AgentStatus::Ready)};
    std::atomic<uint16_t> controlPort_;
    std::mutex statusMutex_;
    int activeRoles_ = 0;
    std::mutex notifyMutex_;
    mutable std::mutex identityMutex_;
    std::string displayName_;
    std::string addressText_;
};

// Marks one server or client role as active for its lifetime.
class ActiveRole {
  public:
    explicit ActiveRole(AgentState& state) : state_(state) { state_.RoleStarted(); }
    ~ActiveRole() { state_.RoleEnded(); }
    ActiveRole(const ActiveRole&) = delete;
    ActiveRole& operator=(const ActiveRole&) = delete;

  private:
    AgentState& state_;
};

}  // namespace quarn::agent
