#pragma once

#include <gtest/gtest.h>
#include <sys/types.h>

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tests/support/program_runner.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_network.h"

namespace quarn::e2e {

// Quarn_Console or Quarn_EndPoint of this build.
std::string BuiltProgram(const std::string& name);

struct ConsoleResult {
    std::optional<int> exitCode;  // nullopt when it had to be killed
    std::vector<std::string> lines;
    std::string Transcript() const;
};

// A headless Quarn_Console running in a host; every line it prints is kept.
class ConsoleProcess {
  public:
    explicit ConsoleProcess(test_support::RunningProgram program);

    // Reads until a line holds fragment; false at the time limit or the end of output.
    bool WaitForLine(std::string_view fragment, int timeoutMs);
    // Reads the rest of the output and waits for the exit; kills it at the time limit.
    ConsoleResult Finish(int timeoutMs);
    pid_t Pid() const { return program_.Pid(); }
    const std::vector<std::string>& LinesSoFar() const { return lines_; }

  private:
    test_support::RunningProgram program_;
    std::vector<std::string> lines_;
};

// In the hosts' subnet, but no host has it.
inline const std::string kUnusedAddress = "198.18.0.99";

// Hosts as network namespaces, the Console on host 1. After every test no iperf is left in
// any host and every namespace is gone again.
class ConsoleNetworkTest : public ::testing::Test {
  protected:
    static constexpr int kConsoleHost = 1;
    // A 10-second run takes about 15 s: 2 s start delay, two warm-up seconds, the run.
    static constexpr int kRunTimeoutMs = 60000;

    explicit ConsoleNetworkTest(int hosts) : hosts_(hosts) {}
    void SetUp() override;
    void TearDown() override;

    test_support::TestNetwork& Network() { return *network_; }
    std::string Address(int host) const { return network_->Address(host); }
    // "--headless" is added in front of args; env is added to the Console's environment.
    ConsoleProcess StartConsole(const std::vector<std::string>& args,
                                const std::vector<std::string>& env = {});
    ConsoleResult RunConsole(const std::vector<std::string>& args, int timeoutMs = kRunTimeoutMs,
                             const std::vector<std::string>& env = {});
    // Polls for a short while: EndPoints end their iperf processes on "restart".
    void ExpectNoIperfLeft();

  private:
    void ExpectNamespacesGone(const std::string& prefix);

    int hosts_;
    std::unique_ptr<test_support::TestNetwork> network_;
};

// Three hosts; EndPoints with names of their own on hosts 2 and 3 (none on the Console's
// host, so a pair starting there can only be run by the Console itself).
class EndPointNetworkTest : public ConsoleNetworkTest {
  protected:
    EndPointNetworkTest() : ConsoleNetworkTest(3) {}
    void SetUp() override;
    void TearDown() override;

    static std::string EndPointName(int host);
    // `env` is added to the EndPoint's environment (QUARN_IPERF=... for a stand-in), `args`
    // to its command line.
    void StartEndPoint(int host, const std::vector<std::string>& env = {},
                       const std::vector<std::string>& args = {});
    // SIGKILL, as when the machine's agent crashes.
    void KillEndPoint(int host);

  private:
    struct EndPoint {
        std::unique_ptr<test_support::TempDir> config;
        test_support::RunningProgram program;
    };
    void StopEndPoints();

    std::map<int, EndPoint> endPoints_;
};

}  // namespace quarn::e2e
