#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "endpoint/agent/agent.h"
#include "platform/socket.h"
#include "protocol/messages.h"
#include "tests/support/fake_iperf.h"
#include "tests/support/socket_reading.h"
#include "tests/support/temp_dir.h"

namespace quarn::agent_test {

// Every agent event as text: "started", "name:<n>", "address:<a>", "status:Running",
// "port:<p>".
class RecordingObserver : public agent::AgentObserver {
  public:
    void OnStarted(const std::string& name, const std::string& addressText) override;
    void OnNameChanged(const std::string& name) override;
    void OnAddressTextChanged(const std::string& addressText) override;
    void OnStatusChanged(agent::AgentStatus status) override;
    void OnPortInUse(uint16_t port) override;

    std::vector<std::string> Events();
    bool WaitFor(const std::string& event, int timeoutMs);

  private:
    void Record(std::string event);

    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<std::string> events_;
};

// Short limits so that idle cases take well under a second, but a start-up limit of
// seconds: only a test of the start-up rule itself wants a short one.
agent::IperfTiming FastTiming();

// Gives the iperf stand-in its script and log. Call before any agent of the test starts:
// the environment must not change while agent threads may start programs.
class FakeIperfScript {
  public:
    explicit FakeIperfScript(const std::string& script);
    ~FakeIperfScript();
    std::string LogPath() const { return dir_.File("iperf.log"); }
    std::vector<test_support::FakeIperfStart> Starts() const {
        return test_support::ReadFakeIperfLog(LogPath());
    }

  private:
    test_support::TempDir dir_;
};

// An agent on 127.0.0.1 (any free ports) running the iperf stand-in.
class LoopbackAgent {
  public:
    explicit LoopbackAgent(const std::function<void(agent::AgentConfig&)>& adjust = {});
    ~LoopbackAgent();

    agent::Agent& Get() { return *agent_; }
    RecordingObserver& Observer() { return observer_; }
    uint16_t ControlPort() { return agent_->ControlPort(); }
    // Where the agent keeps its name.
    const std::string& ConfigDir() const { return dir_.Path(); }
    // Connects to the control port and sends text as it is.
    platform::Socket Send(const std::string& text);

  private:
    test_support::TempDir dir_;
    RecordingObserver observer_;
    std::unique_ptr<agent::Agent> agent_;
};

// The reply line of a server request (up to and with its CR LF), or what arrived before
// the connection closed.
std::string ReadReply(const platform::Socket& socket, int timeoutMs = 3000);

// The owner marker our iperf children carry.
std::string OwnMarker();

// The line a Console sends to ask for a TCP iperf server.
inline const std::string kTcpRequest(protocol::kServerRequestTcp);

// Whether the process has ended within the time.
bool EndsWithin(pid_t pid, int timeoutMs);

}  // namespace quarn::agent_test
