#pragma once

#include <QObject>
#include <QSocketNotifier>
#include <QString>
#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

#include "endpoint/agent/agent_observer.h"
#include "widgets/wake_fd.h"

namespace quarn::endpoint_window {

// The agent's events, which come from its own threads, as Qt signals on the thread the
// relay lives on. Events wait in the relay's own list; the first one after a wake-up
// signals an eventfd that the relay's thread watches, and that wake-up emits every event
// then waiting, in order. The hand-over goes through a mutex and the eventfd, both of which
// ThreadSanitizer sees. Events still waiting when the relay is destroyed are dropped with it.
class AgentEventRelay : public QObject, public agent::AgentObserver {
    Q_OBJECT
  public:
    explicit AgentEventRelay(QObject* parent = nullptr);

    void OnStarted(const std::string& name, const std::string& addressText) override;
    void OnNameChanged(const std::string& name) override;
    void OnAddressTextChanged(const std::string& addressText) override;
    void OnStatusChanged(agent::AgentStatus status) override;
    void OnPortInUse(uint16_t port) override;

    // How often the relay's thread has woken to emit events. Relay's thread only.
    int WakeCount() const { return wakeCount_; }

  signals:
    void started(const QString& name, const QString& addressText);
    void nameChanged(const QString& name);
    void addressTextChanged(const QString& addressText);
    void statusChanged(quarn::agent::AgentStatus status);
    void portInUse(quint16 port);

  private:
    void Post(std::function<void()> call);
    void EmitWaiting();

    std::mutex mutex_;
    std::vector<std::function<void()>> waiting_;  // guarded by mutex_
    // Set by the event that signalled the eventfd, cleared when the relay's thread takes
    // the list: while set, later events ride on the same wake-up. Guarded by mutex_.
    bool wakePending_ = false;
    widgets::WakeFd wakeFd_;
    // Dies before the eventfd it watches.
    QSocketNotifier notifier_;
    int wakeCount_ = 0;
};

}  // namespace quarn::endpoint_window
