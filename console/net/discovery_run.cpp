#include "console/net/discovery_run.h"

#include <system_error>

#include "console/net/endpoint_search.h"

namespace quarn::console {

std::unique_ptr<DiscoveryRun> DiscoveryRun::Start(DiscoveryOptions options, Dispatcher& dispatcher,
                                                  DoneHandler onDone) {
    std::unique_ptr<DiscoveryRun> run(new DiscoveryRun());
    try {
        DiscoveryRun* self = run.get();
        run->thread_ = std::thread([self, options = std::move(options), &dispatcher,
                                    onDone = std::move(onDone)]() mutable {
            self->Search(options, dispatcher, std::move(onDone));
        });
    } catch (const std::system_error&) {
        return nullptr;
    }
    return run;
}

DiscoveryRun::~DiscoveryRun() {
    // First: a result posted while the thread is being joined is dropped as well.
    liveness_.Expire();
    cancel_ = true;
    if (thread_.joinable()) {
        thread_.join();
    }
}

void DiscoveryRun::Search(const DiscoveryOptions& options, Dispatcher& dispatcher,
                          DoneHandler onDone) {
    std::vector<EndPointEntry> found = SearchEndPoints(options, &cancel_);
    if (!cancel_) {
        dispatcher.Post(
            liveness_.Guard([onDone = std::move(onDone), found = std::move(found)]() mutable {
                onDone(std::move(found));
            }));
    }
    finished_ = true;
}

}  // namespace quarn::console
