#pragma once

#include <functional>
#include <memory>

namespace quarn::platform {

// Calls onSignal (from a thread of its own) when the program is asked to stop: SIGINT or
// SIGTERM on Linux; Ctrl+C, Ctrl+Break, closing the console, log-off or shut-down on
// Windows. Create it before any other thread: on Linux the signals are blocked in the
// creating thread and so in every thread started after it.
class ShutdownSignals {
  public:
    explicit ShutdownSignals(std::function<void()> onSignal);
    // Calls onSignal with the signal's number for every one, not only the first (Linux).
    struct EverySignal {};
    ShutdownSignals(EverySignal, std::function<void(int signal)> onSignal);
    ~ShutdownSignals();
    ShutdownSignals(const ShutdownSignals&) = delete;
    ShutdownSignals& operator=(const ShutdownSignals&) = delete;

    bool Valid() const;

  private:
#ifndef _WIN32
    // onSignal says whether to go on waiting.
    ShutdownSignals(std::function<bool(int signal)> onSignal, int);
#endif
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace quarn::platform
