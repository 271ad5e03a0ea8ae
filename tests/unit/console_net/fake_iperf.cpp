#include "tests/unit/console_net/fake_iperf.h"

#include <sys/stat.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

namespace quarn::console::testing {

namespace {

std::vector<std::string> ReadLines(const std::string& path) {
    std::vector<std::string> lines;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

}  // namespace

FakeIperf::FakeIperf(int sleepSeconds) {
    char pattern[] = "/tmp/quarn-net-test-XXXXXX";
    const char* dir = mkdtemp(pattern);
    dir_ = dir != nullptr ? dir : "";
    path_ = dir_ + "/iperf";
    std::ofstream script(path_);
    // The pid file is written last: its presence means everything else is recorded.
    script << "#!/bin/sh\n"
           << "printf '%s\\n' \"$@\" > \"$0.args\"\n"
           << "printf '%s\\n' \"$QUARN_IPERF_OWNER\" > \"$0.owner\"\n"
           << "echo \"$$\" > \"$0.pid.tmp\" && mv \"$0.pid.tmp\" \"$0.pid\"\n"
           << "echo '------------------------------------------------------------'\n";
    if (sleepSeconds > 0) {
        script << "exec sleep " << sleepSeconds << "\n";
    }
    script.close();
    chmod(path_.c_str(), 0755);
}

FakeIperf::~FakeIperf() {
    std::error_code ignored;
    if (!dir_.empty()) {
        std::filesystem::remove_all(dir_, ignored);
    }
}

bool FakeIperf::Started() const {
    return std::filesystem::exists(path_ + ".pid");
}

bool FakeIperf::AwaitStart(int timeoutMs) const {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!Started()) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

std::vector<std::string> FakeIperf::Arguments() const {
    return ReadLines(path_ + ".args");
}

std::string FakeIperf::OwnerMarker() const {
    std::vector<std::string> lines = ReadLines(path_ + ".owner");
    return lines.empty() ? std::string() : lines.front();
}

std::optional<pid_t> FakeIperf::Pid() const {
    std::vector<std::string> lines = ReadLines(path_ + ".pid");
    if (lines.empty()) {
        return std::nullopt;
    }
    return static_cast<pid_t>(std::atol(lines.front().c_str()));
}

}  // namespace quarn::console::testing
