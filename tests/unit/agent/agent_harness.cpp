#include "tests/unit/agent/agent_harness.h"

#include <chrono>
#include <thread>

#include "tests/support/os_calls.h"

namespace quarn::agent_test {

void RecordingObserver::Record(std::string event) {
    {
        std::lock_guard lock(mutex_);
        events_.push_back(std::move(event));
    }
    changed_.notify_all();
}

void RecordingObserver::OnStarted(const std::string&, const std::string&) {
    Record("started");
}
void RecordingObserver::OnNameChanged(const std::string& name) {
    Record("name:" + name);
}
void RecordingObserver::OnAddressTextChanged(const std::string& text) {
    Record("address:" + text);
}
void RecordingObserver::OnStatusChanged(agent::AgentStatus status) {
    Record(std::string("status:") + agent::StatusText(status));
}
void RecordingObserver::OnPortInUse(uint16_t port) {
    Record("port:" + std::to_string(port));
}

std::vector<std::string> RecordingObserver::Events() {
    std::lock_guard lock(mutex_);
    return events_;
}

bool RecordingObserver::WaitFor(const std::string& event, int timeoutMs) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] {
        for (const std::string& seen : events_) {
            if (seen == event) {
                return true;
            }
        }
        return false;
    });
}

agent::IperfTiming FastTiming() {
    agent::IperfTiming timing;
    timing.pollMs = 20;
    // Starting the stand-in takes a few milliseconds on an idle Linux machine, but far
    // longer on a loaded one, in a sanitizer build or under Wine (0.2 s and more); a stand-in
    // that has not said "listening" by then must not count as silent.
    timing.startupIdlePolls = 250;
    timing.runIdlePolls = 25;
    timing.requestTimeoutMs = 2000;
    timing.peerConnectTimeoutMs = 1000;
    timing.peerReplyTimeoutMs = 3000;
    return timing;
}

FakeIperfScript::FakeIperfScript(const std::string& script) {
    test_support::SetEnvironmentValue("FAKE_IPERF_SCRIPT", script);
    test_support::SetEnvironmentValue("FAKE_IPERF_LOG", LogPath());
}

FakeIperfScript::~FakeIperfScript() {
    test_support::ClearEnvironmentValue("FAKE_IPERF_SCRIPT");
    test_support::ClearEnvironmentValue("FAKE_IPERF_LOG");
}

LoopbackAgent::LoopbackAgent(const std::function<void(agent::AgentConfig&)>& adjust) {
    agent::AgentConfig config;
    config.iperfPath = test_support::FakeIperfPath();
    config.bindAddress = 0x7F000001;
    config.loopbackTargets = true;  // both agents of a test share loopback
    config.controlPort = 0;
    config.discoveryPort = 0;
    config.timing = FastTiming();
    config.busyPorts = [](bool) { return std::set<uint16_t>(); };
    config.nameStoreDir = dir_.Path();
    if (adjust) {
        adjust(config);
    }
    agent_ = std::make_unique<agent::Agent>(config, observer_);
    agent_->Start();
}

LoopbackAgent::~LoopbackAgent() {
    agent_->Shutdown();
}

platform::Socket LoopbackAgent::Send(const std::string& text) {
    platform::Socket socket = test_support::ConnectLoopback(ControlPort());
    if (socket.Valid()) {
        platform::SendAll(socket, text);
    }
    return socket;
}

std::string ReadReply(const platform::Socket& socket, int timeoutMs) {
    std::string data = test_support::ReadUntilContains(socket, "\r\n", timeoutMs).data;
    const size_t end = data.find("\r\n");
    return end == std::string::npos ? data : data.substr(0, end + 2);
}

bool EndsWithin(pid_t pid, int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (test_support::ProcessAlive(pid)) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

std::string OwnMarker() {
    return "endpoint:" + std::to_string(test_support::OwnPid());
}

}  // namespace quarn::agent_test
