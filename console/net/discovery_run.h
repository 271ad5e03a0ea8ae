#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

#include "console/core/dispatcher.h"
#include "console/core/endpoint_entry.h"
#include "console/core/liveness.h"
#include "console/net/discovery_options.h"

namespace quarn::console {

// One search on a thread of its own. The result reaches the main thread through
// Dispatcher::Post, never a blocking Send, so destroying the run (which cancels and joins)
// is safe on the main thread.
class DiscoveryRun {
  public:
    using DoneHandler = std::function<void(std::vector<EndPointEntry>)>;

    // Starts the search; nullptr when the thread cannot be created. `onDone` runs on the
    // main thread unless the run is destroyed first: a result still queued in the
    // dispatcher when the run is destroyed is dropped there. Destroy the run on the main
    // thread.
    static std::unique_ptr<DiscoveryRun> Start(DiscoveryOptions options, Dispatcher& dispatcher,
                                               DoneHandler onDone);

    ~DiscoveryRun();
    DiscoveryRun(const DiscoveryRun&) = delete;
    DiscoveryRun& operator=(const DiscoveryRun&) = delete;

    // True once the result has been handed to the dispatcher (or the run was cancelled).
    bool Finished() const { return finished_.load(); }

  private:
    DiscoveryRun() = default;
    void Search(const DiscoveryOptions& options, Dispatcher& dispatcher, DoneHandler onDone);

    Liveness liveness_;
    std::atomic<bool> cancel_{false};
    std::atomic<bool> finished_{false};
    std::thread thread_;
};

}  // namespace quarn::console
