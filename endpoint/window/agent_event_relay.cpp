#include "endpoint/window/agent_event_relay.h"

#include <QMetaObject>

namespace quarn::endpoint_window {

AgentEventRelay::AgentEventRelay(QObject* receiver, Handlers handlers)
    : receiver_(receiver), handlers_(std::move(handlers)) {}

void AgentEventRelay::Post(std::function<void()> call) {
    // The receiver is the context: Qt runs the call on its thread, or drops it with it.
    QMetaObject::invokeMethod(receiver_, std::move(call), Qt::QueuedConnection);
}

void AgentEventRelay::OnStarted(const std::string& name, const std::string& addressText) {
    if (handlers_.started) {
        Post([this, name = QString::fromStdString(name),
              address = QString::fromStdString(addressText)] { handlers_.started(name, address); });
    }
}

void AgentEventRelay::OnNameChanged(const std::string& name) {
    if (handlers_.nameChanged) {
        Post([this, name = QString::fromStdString(name)] { handlers_.nameChanged(name); });
    }
}

void AgentEventRelay::OnAddressTextChanged(const std::string& addressText) {
    if (handlers_.addressTextChanged) {
        Post([this, address = QString::fromStdString(addressText)] {
            handlers_.addressTextChanged(address);
        });
    }
}

void AgentEventRelay::OnStatusChanged(agent::AgentStatus status) {
    if (handlers_.statusChanged) {
        Post([this, status] { handlers_.statusChanged(status); });
    }
}

void AgentEventRelay::OnPortInUse(uint16_t port) {
    if (handlers_.portInUse) {
        Post([this, port] { handlers_.portInUse(port); });
    }
}

}  // namespace quarn::endpoint_window
