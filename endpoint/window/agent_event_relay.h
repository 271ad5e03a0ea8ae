#pragma once

#include <QObject>
#include <QString>
#include <functional>

#include "endpoint/agent/agent_observer.h"

namespace quarn::endpoint_window {

// Hands the agent's events, which come from its own threads, to the window's thread as
// queued calls. A call still queued when the receiver is destroyed is dropped.
class AgentEventRelay : public agent::AgentObserver {
  public:
    struct Handlers {
        std::function<void(const QString& name, const QString& addressText)> started = {};
        std::function<void(const QString& name)> nameChanged = {};
        std::function<void(const QString& addressText)> addressTextChanged = {};
        std::function<void(agent::AgentStatus status)> statusChanged = {};
        std::function<void(uint16_t port)> portInUse = {};
    };

    AgentEventRelay(QObject* receiver, Handlers handlers);

    void OnStarted(const std::string& name, const std::string& addressText) override;
    void OnNameChanged(const std::string& name) override;
    void OnAddressTextChanged(const std::string& addressText) override;
    void OnStatusChanged(agent::AgentStatus status) override;
    void OnPortInUse(uint16_t port) override;

  private:
    void Post(std::function<void()> call);

    QObject* receiver_;
    const Handlers handlers_;
};

}  // namespace quarn::endpoint_window
