#include "endpoint/agent/agent.h"

#include <chrono>

#include "platform/iperf_marker.h"
#include "platform/thread_name.h"

namespace quarn::agent {

Agent::Agent(AgentConfig config, AgentObserver& observer)
    : state_(std::move(config), observer),
      connections_(state_.Config().maxConnections),
      listener_(state_, connections_),
      responder_(state_, [this] { Restart(); }),
      identity_(state_.Config().nameStoreDir) {}

Agent::~Agent() {
    Shutdown();
}

bool Agent::Start() {
    if (started_) {
        return true;
    }
    started_ = true;
    {
        std::lock_guard lock(identityMutex_);
        state_.InitIdentity(identity_.InitialName(), AddressTextOf(*state_.Addresses().Renew()));
    }
    // Left over by an earlier instance that died.
    platform::KillStrays(state_.Config().iperfPath, kIperfOwnerRole);

    const bool listening = listener_.Bind();
    const bool responding = responder_.Bind();
    if (listening) {
        state_.SetControlPort(listener_.Port());
        listenerThread_ = std::jthread([this] {
            const std::stop_callback wake(state_.ShutdownToken(), [this] { listener_.Wake(); });
            platform::NameThisThread("listener");
            listener_.Run();
        });
    } else {
        state_.Observer().OnPortInUse(state_.Config().controlPort);
    }
    if (listener_.ServesIpv6()) {
        listener6Thread_ = std::jthread([this] {
            const std::stop_callback wake(state_.ShutdownToken(), [this] { listener_.Wake(); });
            platform::NameThisThread("listener6");
            listener_.Run6();
        });
    }
    if (responding) {
        responderThread_ = std::jthread([this] {
            const std::stop_callback wake(state_.ShutdownToken(), [this] { responder_.Wake(); });
            platform::NameThisThread("responder");
            responder_.Run();
        });
    } else {
        state_.Observer().OnPortInUse(state_.Config().discoveryPort);
    }
    if (responder_.ServesIpv6()) {
        responder6Thread_ = std::jthread([this] {
            const std::stop_callback wake(state_.ShutdownToken(), [this] { responder_.Wake(); });
            platform::NameThisThread("responder6");
            responder_.Run6();
        });
    }
    // Named so that a look at the process can tell the identity refresh from the rest.
    refreshThread_ = std::jthread([this] {
        platform::NameThisThread("refresh");
        RefreshLoop();
    });
    if (listening && responding) {
        state_.Observer().OnStarted(state_.DisplayName(), state_.AddressText());
    }
    return listening && responding;
}

void Agent::Shutdown() {
    if (stopped_) {
        return;
    }
    stopped_ = true;
    // Wakes the listener, the responder, the refresh and every role's wait.
    state_.RequestShutdown();
    state_.Sockets().WakeAll();
    platform::KillOwnChildren(state_.Config().iperfPath, kIperfOwnerRole);
    // The listener first, so that no connection starts after the group closes.
    if (listenerThread_.joinable()) {
        listenerThread_.join();
    }
    if (listener6Thread_.joinable()) {
        listener6Thread_.join();
    }
    connections_.JoinAll();
    if (responderThread_.joinable()) {
        responderThread_.join();
    }
    if (responder6Thread_.joinable()) {
        responder6Thread_.join();
    }
    if (refreshThread_.joinable()) {
        refreshThread_.join();
    }
    listener_.Close();
    responder_.Close();
}

bool Agent::Rename(const std::string& name) {
    if (!IsAcceptableName(name)) {
        return false;
    }
    bool saved;
    {
        std::lock_guard lock(identityMutex_);
        saved = identity_.Save(name);
    }
    state_.SetDisplayName(name);
    return saved;
}

void Agent::ResetName() {
    std::string name;
    {
        std::lock_guard lock(identityMutex_);
        name = identity_.Reset();
    }
    state_.SetDisplayName(name);
}

void Agent::Restart() {
    platform::KillOwnChildrenAndStrays(state_.Config().iperfPath, kIperfOwnerRole);
    state_.Ports().Reset();
}

void Agent::RefreshIdentity() {
    const std::shared_ptr<const AddressLists> lists = state_.Addresses().Renew();
    state_.SetAddressText(AddressTextOf(*lists));
    responder_.JoinNewInterfaces(lists->adapters6);
    std::optional<std::string> changed;
    {
        std::lock_guard lock(identityMutex_);
        changed = identity_.StoredNameChange();
    }
    if (changed) {
        state_.SetDisplayName(*changed);
    }
}

void Agent::RefreshLoop() {
    const auto period = std::chrono::milliseconds(state_.Config().addressRefreshMs);
    const std::stop_token stop = state_.ShutdownToken();
    std::unique_lock lock(refreshMutex_);
    while (!stop.stop_requested()) {
        if (refreshWake_.wait_for(lock, stop, period, [] { return false; }) ||
            stop.stop_requested()) {
            break;
        }
        lock.unlock();
        RefreshIdentity();
        lock.lock();
    }
}

}  // namespace quarn::agent
