#include "endpoint/window/agent_event_relay.h"

#include <utility>

#include "widgets/text.h"

namespace quarn::endpoint_window {

AgentEventRelay::AgentEventRelay(QObject* parent)
    : QObject(parent), notifier_(wakeFd_.Handle(), QSocketNotifier::Read, this) {
    connect(&notifier_, &QSocketNotifier::activated, this, [this] { EmitWaiting(); });
}

void AgentEventRelay::Post(std::function<void()> call) {
    std::lock_guard lock(mutex_);
    waiting_.push_back(std::move(call));
    if (!wakePending_) {
        wakePending_ = true;
        wakeFd_.Signal();
    }
}

void AgentEventRelay::EmitWaiting() {
    // Drain before taking the list: an event posted after the take signals afresh, and one
    // posted before it is in the list, so none waits for a later wake-up.
    wakeFd_.Drain();
    std::vector<std::function<void()>> calls;
    {
        std::lock_guard lock(mutex_);
        calls.swap(waiting_);
        wakePending_ = false;
    }
    ++wakeCount_;
    for (const auto& call : calls) {
        call();
    }
}

void AgentEventRelay::OnStarted(const std::string& name, const std::string& addressText) {
    Post([this, name = widgets::FromUtf8(name), address = widgets::FromUtf8(addressText)] {
        emit started(name, address);
    });
}

void AgentEventRelay::OnNameChanged(const std::string& name) {
    Post([this, name = widgets::FromUtf8(name)] { emit nameChanged(name); });
}

void AgentEventRelay::OnAddressTextChanged(const std::string& addressText) {
    Post([this, address = widgets::FromUtf8(addressText)] { emit addressTextChanged(address); });
}

void AgentEventRelay::OnStatusChanged(agent::AgentStatus status) {
    Post([this, status] { emit statusChanged(status); });
}

void AgentEventRelay::OnPortInUse(uint16_t port) {
    Post([this, port] { emit portInUse(port); });
}

}  // namespace quarn::endpoint_window
