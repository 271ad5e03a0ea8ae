#include "console/session/search_runner.h"

#include <system_error>

#include "console/net/endpoint_search.h"

namespace quarn::console {

SearchRunner::SearchRunner(DiscoveryOptions options, Dispatcher& dispatcher)
    : options_(std::move(options)), dispatcher_(dispatcher) {}

SearchRunner::~SearchRunner() {
    Stop();
}

bool SearchRunner::Start(Done done) {
    if (running_.load())
        return false;
    if (thread_.joinable())
        thread_.join();  // the last search has posted its result already
    running_ = true;
    try {
        thread_ = std::jthread([this, done = std::move(done)](std::stop_token stop) {
            std::vector<EndPointEntry> found = SearchEndPoints(options_, stop);
            // Cleared before posting: the result's handler may start the next search.
            running_ = false;
            dispatcher_.Post(
                [done, found = std::move(found)]() mutable { done(std::move(found)); });
        });
    } catch (const std::system_error&) {
        running_ = false;
        return false;
    }
    return true;
}

bool SearchRunner::SetLabKey(std::optional<labkey::LabKey> key) {
    if (running_.load())
        return false;
    if (thread_.joinable())
        thread_.join();  // it has posted its result and reads the options no more
    options_.labKey = std::move(key);
    return true;
}

void SearchRunner::Stop() {
    if (thread_.joinable()) {
        thread_.request_stop();
        thread_.join();
    }
    running_ = false;
}

}  // namespace quarn::console
