#include "platform/service_notify.h"

namespace quarn::platform {

// No service manager here waits for a readiness message.
bool NotifyServiceReady(const std::string&) {
    return false;
}

bool NotifyServiceReady() {
    return false;
}

}  // namespace quarn::platform
