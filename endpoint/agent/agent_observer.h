#pragma once

#include <cstdint>
#include <string>

namespace quarn::agent {

enum class AgentStatus { Ready = 0, Running = 1 };

inline const char* StatusText(AgentStatus status) {
    return status == AgentStatus::Running ? "Running" : "Ready";
}

// What the front end (window or headless printer) hears from the agent. Calls come from
// the agent's own threads, one at a time per kind; implementations must be thread-safe
// and return quickly.
class AgentObserver {
  public:
    virtual ~AgentObserver() = default;

    // Both ports are bound and the agent serves.
    virtual void OnStarted(const std::string& name, const std::string& addressText) = 0;
    virtual void OnNameChanged(const std::string& name) = 0;
    virtual void OnAddressTextChanged(const std::string& addressText) = 0;
    virtual void OnStatusChanged(AgentStatus status) = 0;
    // The control port or the discovery port could not be bound.
    virtual void OnPortInUse(uint16_t port) = 0;
};

}  // namespace quarn::agent
