#include "platform/wake_event.h"

#include <fcntl.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

namespace quarn::platform {

WakeEvent::WakeEvent() : fd_(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
    // Where eventfd is refused (a sandbox's filter), a pipe wakes a poll as well.
    int ends[2];
    if (fd_ < 0 && pipe2(ends, O_CLOEXEC | O_NONBLOCK) == 0) {
        fd_ = ends[0];
        writeFd_ = ends[1];
    }
}

WakeEvent::~WakeEvent() {
    const int saved = errno;
    if (fd_ >= 0) {
        close(fd_);
    }
    if (writeFd_ >= 0) {
        close(writeFd_);
    }
    errno = saved;
}

void WakeEvent::Set() {
    set_.store(true);
    // Never read back, so the counter (or the pipe's byte) stays readable: every later
    // poll sees it at once.
    if (writeFd_ >= 0) {
        (void)!write(writeFd_, "", 1);
        return;
    }
    const uint64_t one = 1;
    (void)!write(fd_, &one, sizeof one);
}

}  // namespace quarn::platform
