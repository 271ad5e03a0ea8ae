#include "widgets/wake_fd.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

namespace quarn::widgets {

WakeFd::WakeFd() : fd_(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {
    if (fd_ < 0) {
        throw std::system_error(errno, std::generic_category(), "eventfd");
    }
}

WakeFd::~WakeFd() {
    ::close(fd_);
}

void WakeFd::Signal() {
    const std::uint64_t one = 1;
    // EAGAIN means the counter is full, so the descriptor is readable already.
    while (::write(fd_, &one, sizeof one) < 0 && errno == EINTR) {
    }
}

std::uint64_t WakeFd::Drain() {
    std::uint64_t count = 0;
    while (::read(fd_, &count, sizeof count) < 0) {
        if (errno != EINTR) {
            return 0;  // EAGAIN: nothing was signalled
        }
    }
    return count;
}

}  // namespace quarn::widgets
