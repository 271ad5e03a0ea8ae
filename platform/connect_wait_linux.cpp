#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>

#include "platform/connect_wait.h"
#include "platform/deadline.h"
#include "platform/wake_event.h"

namespace quarn::platform {

// The stop's WakeEvent wakes the poll at once. Only a process out of descriptors has none
// (neither an eventfd nor a pipe could be made); then the stop is looked at between slices.
bool WaitConnectFinished(int fd, std::chrono::milliseconds timeout, const std::stop_token& stop) {
    constexpr int kSliceMs = 100;
    const auto deadline = SteadyClock::now() + timeout;
    const StopWake wake(stop);
    const int wakeFd = wake.Event().Fd();
    pollfd fds[2] = {{fd, POLLOUT, 0}, {wakeFd, POLLIN, 0}};  // poll() skips a negative fd
    while (!wake.Event().IsSet()) {
        int leftMs = PollTimeoutMs(deadline);
        if (leftMs == 0) {
            errno = ETIMEDOUT;
            return false;
        }
        if (wakeFd < 0 && stop.stop_possible()) {
            leftMs = std::min(kSliceMs, leftMs);
        }
        const int ready = ::poll(fds, 2, leftMs);
        if (ready > 0 && fds[0].revents != 0) {
            int error = 0;
            socklen_t length = sizeof error;
            if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0) {
                return false;
            }
            errno = error;
            return error == 0;
        }
        if (ready < 0 && errno != EINTR) {
            return false;
        }
    }
    errno = ECANCELED;
    return false;
}

}  // namespace quarn::platform
