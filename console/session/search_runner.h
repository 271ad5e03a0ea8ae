#pragma once

#include <atomic>
#include <functional>
#include <thread>
#include <vector>

#include "console/core/dispatcher.h"
#include "console/core/endpoint_entry.h"
#include "console/net/discovery_options.h"

namespace quarn::console {

// Runs one EndPoint search at a time on a thread of its own and posts the result to the
// main thread. Stop cancels a running search (through the thread's stop token) and joins it;
// close the dispatcher first when the result must not arrive any more.
class SearchRunner {
  public:
    using Done = std::function<void(std::vector<EndPointEntry>)>;

    SearchRunner(DiscoveryOptions options, Dispatcher& dispatcher);
    ~SearchRunner();
    SearchRunner(const SearchRunner&) = delete;
    SearchRunner& operator=(const SearchRunner&) = delete;

    // False when a search still runs or the thread cannot be created.
    bool Start(Done done);
    void Stop();
    bool Running() const { return running_.load(); }
    // The key of the searches started from now on; false (nothing changed) while one runs.
    bool SetLabKey(std::optional<labkey::LabKey> key);

  private:
    DiscoveryOptions options_;
    Dispatcher& dispatcher_;
    std::atomic<bool> running_{false};
    std::jthread thread_;
};

}  // namespace quarn::console
