#include "endpoint/agent/agent_state.h"

namespace quarn::agent {

AgentState::AgentState(AgentConfig config, AgentObserver& observer)
    : config_(std::move(config)),
      observer_(observer),
      ports_(config_.busyPorts),
      connectionSlots_(config_.maxConnectionsPerSource),
      serverSlots_(config_.maxServersPerRequester),
      controlPort_(config_.controlPort) {}

void AgentState::RoleStarted() {
    std::lock_guard lock(statusMutex_);
    if (++activeRoles_ == 1) {
        status_.store(static_cast<int>(AgentStatus::Running));
        observer_.OnStatusChanged(AgentStatus::Running);
    }
}

void AgentState::RoleEnded() {
    std::lock_guard lock(statusMutex_);
    // Ready only when the last of several concurrent roles ends.
    if (--activeRoles_ == 0) {
        status_.store(static_cast<int>(AgentStatus::Ready));
        observer_.OnStatusChanged(AgentStatus::Ready);
    }
}

std::string AgentState::DisplayName() const {
    std::lock_guard lock(identityMutex_);
    return displayName_;
}

std::string AgentState::AddressText() const {
    std::lock_guard lock(identityMutex_);
    return addressText_;
}

void AgentState::InitIdentity(const std::string& name, const std::string& addressText) {
    std::lock_guard lock(identityMutex_);
    displayName_ = name;
    addressText_ = addressText;
}

bool AgentState::SetDisplayName(const std::string& name) {
    // Held across the report so that observers hear changes in the order they happened.
    std::lock_guard order(notifyMutex_);
    {
        std::lock_guard lock(identityMutex_);
        if (displayName_ == name) {
            return false;
        }
        displayName_ = name;
    }
    observer_.OnNameChanged(name);
    return true;
}

bool AgentState::SetAddressText(const std::string& text) {
    std::lock_guard order(notifyMutex_);
    {
        std::lock_guard lock(identityMutex_);
        if (addressText_ == text) {
            return false;
        }
        addressText_ = text;
    }
    observer_.OnAddressTextChanged(text);
    return true;
}

}  // namespace quarn::agent
