#include "endpoint/app/headless_front_end.h"

namespace quarn::endpoint_app {
namespace {

constexpr const char* kPortInUseLines[] = {
    "The port required for EndPoint is in use by",
    "another program. Please terminate the program",
    "and run EndPoint again. (TCP port: 45000)",
};

}  // namespace

void HeadlessFrontEnd::Queue(std::string line) {
    {
        std::lock_guard lock(mutex_);
        lines_.push_back(std::move(line));
    }
    changed_.notify_one();
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
    changed_.notify_one();
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

void HeadlessFrontEnd::Stop() {
    {
        std::lock_guard lock(mutex_);
        stopped_ = true;
    }
    changed_.notify_one();
}

int HeadlessFrontEnd::Run(std::FILE* out) {
    while (true) {
        Flush(out);
        std::unique_lock lock(mutex_);
        if (portInUse_ && lines_.empty()) {
            return 1;
        }
        if (stopped_) {
            lock.unlock();
            Flush(out);
            return 0;
        }
        changed_.wait(lock, [this] { return stopped_ || portInUse_ || !lines_.empty(); });
    }
}

}  // namespace quarn::endpoint_app
