#pragma once

#include <atomic>
#include <functional>
#include <thread>

namespace quarn::console {

// Turns SIGINT and SIGTERM into calls on a thread of its own (the callback usually posts
// to the main loop). BlockTerminationSignals must run in main before any thread starts,
// so that no other thread receives them.
void BlockTerminationSignals();

class SignalWatcher {
  public:
    explicit SignalWatcher(std::function<void(int signal)> onSignal);
    ~SignalWatcher();
    SignalWatcher(const SignalWatcher&) = delete;
    SignalWatcher& operator=(const SignalWatcher&) = delete;

  private:
    void Watch();

    std::function<void(int)> onSignal_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

}  // namespace quarn::console
