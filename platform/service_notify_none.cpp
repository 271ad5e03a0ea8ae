#include "platform/service_notify.h"

namespace quarn::platform {

// No service manager here waits for a message.
ServiceNotifier::ServiceNotifier() = default;

bool ServiceNotifier::Ready() const {
    return false;
}

bool ServiceNotifier::Stopping() const {
    return false;
}

bool NotifyService(const std::string&, std::string_view) {
    return false;
}

}  // namespace quarn::platform
