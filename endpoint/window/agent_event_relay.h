#pragma once

#include <QObject>
#include <QString>
#include <cstdint>
#include <functional>

#include "endpoint/agent/agent_observer.h"

namespace quarn::endpoint_window {

// The agent's events, which come from its own threads, as Qt signals on the thread the
// relay lives on: each call is queued to the relay and re-emitted there. A call still
// queued when the relay is destroyed is dropped with it.
class AgentEventRelay : public QObject, public agent::AgentObserver {
    Q_OBJECT
  public:
    explicit AgentEventRelay(QObject* parent = nullptr) : QObject(parent) {}

    void OnStarted(const std::string& name, const std::string& addressText) override;
    void OnNameChanged(const std::string& name) override;
    void OnAddressTextChanged(const std::string& addressText) override;
    void OnStatusChanged(agent::AgentStatus status) override;
    void OnPortInUse(uint16_t port) override;

  signals:
    void started(const QString& name, const QString& addressText);
    void nameChanged(const QString& name);
    void addressTextChanged(const QString& addressText);
    void statusChanged(quarn::agent::AgentStatus status);
    void portInUse(quint16 port);

  private:
    void Post(std::function<void()> call);
};

}  // namespace quarn::endpoint_window
