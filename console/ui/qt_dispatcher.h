#pragma once

#include <QObject>
#include <functional>

#include "console/core/dispatch_queue.h"
#include "console/core/dispatcher.h"

namespace quarn::console::ui {

// The window thread's dispatcher under Qt. Calls wait in the core's DispatchQueue; each
// queued call wakes the window thread with a queued invocation, which runs what is
// waiting. A Send waits on a request of its own that Close releases (a blocking queued
// connection would not), so a worker waiting in Send never holds up quitting. Build it on
// the window thread; a Send from that thread runs the call at once.
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

  private:
    void Wake();

    // Receives the wake-ups; destroyed after the queue, taking undelivered ones with it.
    QObject context_;
    quarn::console::DispatchQueue queue_;
};

}  // namespace quarn::console::ui
