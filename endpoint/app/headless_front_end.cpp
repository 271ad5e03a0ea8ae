#include "endpoint/app/headless_front_end.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

namespace quarn::endpoint_app {
namespace {

constexpr const char* kPortInUseLines[] = {
    "The port required for EndPoint is in use by",
    "another program. Please terminate the program",
    "and run EndPoint again. (TCP port: 45000)",
};

}  // namespace

HeadlessFrontEnd::HeadlessFrontEnd() : wakeFd_(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

HeadlessFrontEnd::~HeadlessFrontEnd() {
    if (wakeFd_ >= 0) {
        close(wakeFd_);
    }
}

void HeadlessFrontEnd::Queue(std::string line) {
    {
        std::lock_guard lock(mutex_);
        lines_.push_back(std::move(line));
    }
    const uint64_t one = 1;
    // A full counter still leaves the descriptor readable, which is all that matters.
    [[maybe_unused]] const ssize_t ignored = write(wakeFd_, &one, sizeof one);
}

void HeadlessFrontEnd::OnStarted(const std::string& name, const std::string& addressText) {
    Queue("Started: " + name + " (" + addressText + ")");
}

void HeadlessFrontEnd::OnNameChanged(const std::string& name) {
    Queue("Name: " + name);
}

void HeadlessFrontEnd::OnAddressTextChanged(const std::string& addressText) {
    Queue("Address: " + addressText);
}

void HeadlessFrontEnd::OnStatusChanged(agent::AgentStatus status) {
    Queue(agent::StatusText(status));
}

void HeadlessFrontEnd::OnPortInUse(uint16_t /*port*/) {
    std::lock_guard lock(mutex_);
    // Shown once, naming TCP port 45000 whichever port it was.
    if (!portInUse_) {
        portInUse_ = true;
        for (const char* line : kPortInUseLines) {
            lines_.push_back(line);
        }
    }
}

void HeadlessFrontEnd::Flush(std::FILE* out) {
    std::deque<std::string> lines;
    {
        std::lock_guard lock(mutex_);
        lines.swap(lines_);
    }
    for (const std::string& line : lines) {
        std::fprintf(out, "%s\n", line.c_str());
    }
    std::fflush(out);
}

int HeadlessFrontEnd::Run(int signalFd, std::FILE* out) {
    while (true) {
        Flush(out);
        {
            std::lock_guard lock(mutex_);
            if (portInUse_) {
                return 1;
            }
        }
        pollfd fds[2] = {{signalFd, POLLIN, 0}, {wakeFd_, POLLIN, 0}};
        if (poll(fds, 2, -1) < 0 && errno != EINTR) {
            return 1;
        }
        if (fds[0].revents & POLLIN) {
            signalfd_siginfo info;
            [[maybe_unused]] const ssize_t ignored = read(signalFd, &info, sizeof info);
            Flush(out);
            return 0;
        }
        if (fds[1].revents & POLLIN) {
            uint64_t count;
            [[maybe_unused]] const ssize_t ignored = read(wakeFd_, &count, sizeof count);
        }
    }
}

}  // namespace quarn::endpoint_app
