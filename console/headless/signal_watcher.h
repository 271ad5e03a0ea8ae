#pragma once

#include <functional>

#include "platform/shutdown_signals.h"

namespace quarn::console {

// Turns SIGINT and SIGTERM into calls on a thread of its own (the callback usually posts
// to the main loop). BlockTerminationSignals must run in main before any thread starts,
// so that no other thread receives them.
void BlockTerminationSignals();

class SignalWatcher {
  public:
    explicit SignalWatcher(std::function<void(int signal)> onSignal)
        : signals_(platform::ShutdownSignals::EverySignal{}, std::move(onSignal)) {}

  private:
    platform::ShutdownSignals signals_;
};

}  // namespace quarn::console
