#include "endpoint/window/agent_event_relay.h"

#include <QMetaObject>

#include "widgets/text.h"

namespace quarn::endpoint_window {

void AgentEventRelay::Post(std::function<void()> call) {
    // The relay is the context: Qt runs the call on its thread, or drops it with it.
    QMetaObject::invokeMethod(this, std::move(call), Qt::QueuedConnection);
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
