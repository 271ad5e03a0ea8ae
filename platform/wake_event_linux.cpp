#include "platform/wake_event.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <cstdint>

namespace quarn::platform {

WakeEvent::WakeEvent() : fd_(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

WakeEvent::~WakeEvent() {
    if (fd_ >= 0) {
        close(fd_);
    }
}

void WakeEvent::Set() {
    set_.store(true);
    // Never read back, so the counter stays readable: every later poll sees it at once.
    const uint64_t one = 1;
    (void)!write(fd_, &one, sizeof one);
}

}  // namespace quarn::platform
