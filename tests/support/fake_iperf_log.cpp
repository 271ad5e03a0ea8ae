#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "tests/support/fake_iperf.h"

namespace quarn::test_support {

std::string FakeIperfPath() {
    return QUARN_FAKE_IPERF_PATH;
}

std::string BuiltProgramPath(const std::string& name) {
    return std::string(QUARN_DEFAULT_BUILD_DIR) + "/bin/" + name;
}

std::vector<FakeIperfStart> ReadFakeIperfLog(const std::string& path) {
    std::vector<FakeIperfStart> starts;
    std::ifstream file(path);
    for (std::string line; std::getline(file, line);) {
        std::istringstream fields(line);
        std::string field;
        FakeIperfStart start;
        if (!std::getline(fields, field, '\t')) {
            continue;
        }
        start.pid = static_cast<pid_t>(std::atol(field.c_str()));
        std::getline(fields, start.owner, '\t');
        while (std::getline(fields, field, '\t')) {
            start.args.push_back(field);
        }
        starts.push_back(std::move(start));
    }
    return starts;
}

// Named "iperf" with the stand-in's own extension ("iperf.exe" on Windows); the copy finds
// its rules in iperf.script and logs to iperf.log.
PrivateFakeIperf::PrivateFakeIperf(const std::string& script)
    : path_(dir_.File("iperf" + std::filesystem::path(FakeIperfPath()).extension().string())) {
    std::error_code error;
    std::filesystem::copy_file(FakeIperfPath(), path_, error);
    std::ofstream(dir_.File("iperf.script")) << script << '\n';
}

std::vector<FakeIperfStart> PrivateFakeIperf::Starts() const {
    return ReadFakeIperfLog(dir_.File("iperf.log"));
}

bool PrivateFakeIperf::AwaitStart(std::chrono::milliseconds timeout) const {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!Started()) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

std::vector<std::string> PrivateFakeIperf::Arguments() const {
    const auto starts = Starts();
    return starts.empty() ? std::vector<std::string>{} : starts.front().args;
}

std::string PrivateFakeIperf::OwnerMarker() const {
    const auto starts = Starts();
    return starts.empty() || starts.front().owner == "-" ? std::string() : starts.front().owner;
}

std::optional<pid_t> PrivateFakeIperf::Pid() const {
    const auto starts = Starts();
    if (starts.empty()) {
        return std::nullopt;
    }
    return starts.front().pid;
}

}  // namespace quarn::test_support
