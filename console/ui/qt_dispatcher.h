#pragma once

#include <QSocketNotifier>
#include <atomic>
#include <functional>

#include "console/core/dispatch_queue.h"
#include "console/core/dispatcher.h"
#include "widgets/wake_fd.h"

namespace quarn::console::ui {

// The window thread's dispatcher under Qt. Calls wait in the core's DispatchQueue; the
// first call queued after a wake-up signals an eventfd that the window thread watches, and
// one wake-up runs everything then waiting, so a flood of lines costs a few wake-ups, not
// one event each. A Send waits on a request of its own that Close releases (a blocking
// queued connection would not), so a worker waiting in Send never holds up quitting.
// Build it on the window thread; a Send from that thread runs the call at once.
class QtDispatcher : public quarn::console::Dispatcher {
  public:
    QtDispatcher();
    ~QtDispatcher() override;
    QtDispatcher(const QtDispatcher&) = delete;
    QtDispatcher& operator=(const QtDispatcher&) = delete;

    void Send(const std::function<void()>& call) override { queue_.Send(call); }
    void Post(std::function<void()> call) override { queue_.Post(std::move(call)); }
    // Drops what is queued and releases waiting senders; later calls return at once.
    void Close() override { queue_.Close(); }
    bool Closed() const { return queue_.Closed(); }

    // How often the window thread has woken to run calls. Window thread only.
    int WakeCount() const { return wakeCount_; }

  private:
    void Wake();
    void RunWoken();

    widgets::WakeFd wakeFd_;
    // Set by the wake-up that signalled the eventfd, cleared once the window thread has
    // drained it: while set, later calls are sure to be run without another signal.
    std::atomic<bool> wakePending_{false};
    // Dies before the eventfd it watches, and with the dispatcher, so a signal still
    // pending then never reaches freed memory.
    QSocketNotifier notifier_;
    int wakeCount_ = 0;
    quarn::console::DispatchQueue queue_;
};

}  // namespace quarn::console::ui
