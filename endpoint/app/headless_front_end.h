#pragma once

#include <condition_variable>
#include <cstdio>
#include <deque>
#include <mutex>
#include <string>

#include "endpoint/agent/agent_observer.h"

namespace quarn::endpoint_app {

// Prints the agent's state as lines: one at start, one per change. The agent's threads
// only queue lines; the main thread prints them in Run.
class HeadlessFrontEnd : public agent::AgentObserver {
  public:
    HeadlessFrontEnd() = default;
    HeadlessFrontEnd(const HeadlessFrontEnd&) = delete;
    HeadlessFrontEnd& operator=(const HeadlessFrontEnd&) = delete;

    void OnStarted(const std::string& name, const std::string& addressText) override;
    void OnNameChanged(const std::string& name) override;
    void OnAddressTextChanged(const std::string& addressText) override;
    void OnStatusChanged(agent::AgentStatus status) override;
    void OnPortInUse(uint16_t port) override;

    // Prints queued lines until Stop() (exit code 0) or a port is in use (the notice is
    // printed; exit code 1).
    int Run(std::FILE* out);
    // From any thread, a signal handler's included: makes Run return.
    void Stop();
    // Prints whatever is still queued.
    void Flush(std::FILE* out);

  private:
    void Queue(std::string line);

    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::string> lines_;
    bool portInUse_ = false;
    bool stopped_ = false;
};

}  // namespace quarn::endpoint_app
