#include "tests/e2e/console_network_test.h"

#include <signal.h>

#include <chrono>
#include <sstream>
#include <thread>

#include "tests/e2e/namespace_processes.h"

namespace quarn::e2e {

using test_support::RunningProgram;

std::string BuiltProgram(const std::string& name) {
    return std::string(QUARN_BIN_DIR) + "/" + name;
}

std::string ConsoleResult::Transcript() const {
    std::string text = "exit: " + (exitCode ? std::to_string(*exitCode) : "none") + "\n";
    for (const std::string& line : lines) {
        text += "  | " + line + "\n";
    }
    return text;
}

ConsoleProcess::ConsoleProcess(RunningProgram program) : program_(std::move(program)) {}

bool ConsoleProcess::WaitForLine(std::string_view fragment, int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (true) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                              deadline - std::chrono::steady_clock::now())
                              .count();
        if (left <= 0) {
            return false;
        }
        std::optional<std::string> line = program_.NextLine(static_cast<int>(left));
        if (!line) {
            return false;
        }
        lines_.push_back(*line);
        if (line->find(fragment) != std::string::npos) {
            return true;
        }
    }
}

ConsoleResult ConsoleProcess::Finish(int timeoutMs) {
    ConsoleResult result;
    for (std::string& line : program_.ReadRemainingLines(timeoutMs)) {
        lines_.push_back(std::move(line));
    }
    if (program_.WaitExit(2000)) {
        result.exitCode = program_.ExitCode();
    } else {
        program_.Kill();
    }
    result.lines = lines_;
    return result;
}

void ConsoleNetworkTest::SetUp() {
    QUARN_SKIP_WITHOUT_NETNS();
    network_ = std::make_unique<test_support::TestNetwork>(hosts_);
}

void ConsoleNetworkTest::TearDown() {
    if (!network_) {
        return;
    }
    ExpectNoIperfLeft();
    const std::string name = network_->Namespace(1);
    const std::string prefix = name.substr(0, name.rfind('-') + 1);
    network_.reset();
    ExpectNamespacesGone(prefix);
}

ConsoleProcess ConsoleNetworkTest::StartConsole(const std::vector<std::string>& args,
                                                const std::vector<std::string>& env) {
    std::vector<std::string> argv = {BuiltProgram("Quarn_Console"), "--headless"};
    argv.insert(argv.end(), args.begin(), args.end());
    return ConsoleProcess(network_->Spawn(kConsoleHost, argv, env));
}

ConsoleResult ConsoleNetworkTest::RunConsole(const std::vector<std::string>& args, int timeoutMs,
                                             const std::vector<std::string>& env) {
    return StartConsole(args, env).Finish(timeoutMs);
}

void ConsoleNetworkTest::ExpectNoIperfLeft() {
    std::vector<ProcessView> left;
    for (int attempt = 0; attempt < 30; ++attempt) {
        left.clear();
        for (int host = 1; host <= hosts_; ++host) {
            for (ProcessView& process : IperfProcesses(network_->Namespace(host))) {
                left.push_back(std::move(process));
            }
        }
        if (left.empty()) {
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    for (const ProcessView& process : left) {
        ADD_FAILURE() << "iperf left running: pid " << process.pid << ", parent " << process.parent
                      << ": " << process.CommandLine();
    }
}

void ConsoleNetworkTest::ExpectNamespacesGone(const std::string& prefix) {
    const test_support::CommandResult listed = test_support::RunCommand({"ip", "netns", "list"});
    std::istringstream lines(listed.output);
    for (std::string line; std::getline(lines, line);) {
        EXPECT_NE(line.rfind(prefix, 0), 0u) << "network namespace left behind: " << line;
    }
}

void EndPointNetworkTest::SetUp() {
    ConsoleNetworkTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) {
        return;
    }
    for (int host : {2, 3}) {
        StartEndPoint(host);
        if (HasFatalFailure()) {
            return;
        }
    }
}

void EndPointNetworkTest::TearDown() {
    if (!endPoints_.empty()) {
        // The run itself must have ended the iperf processes, not the EndPoints' own exit.
        ExpectNoIperfLeft();
        StopEndPoints();
    }
    ConsoleNetworkTest::TearDown();
}

std::string EndPointNetworkTest::EndPointName(int host) {
    return "Rack Node " + std::to_string(host);
}

void EndPointNetworkTest::StartEndPoint(int host, const std::vector<std::string>& extraEnv,
                                        const std::vector<std::string>& args) {
    EndPoint& endPoint = endPoints_[host];
    if (!endPoint.config) {
        endPoint.config = std::make_unique<test_support::TempDir>();
    }
    std::vector<std::string> env = {"QUARN_CONFIG_HOME=" + endPoint.config->Path()};
    env.insert(env.end(), extraEnv.begin(), extraEnv.end());
    RunningProgram naming;
    ASSERT_TRUE(naming.Start(
        Network().InHost(host, {BuiltProgram("Quarn_EndPoint"), "--set-name", EndPointName(host)}),
        env));
    ASSERT_TRUE(naming.WaitExit(5000));
    ASSERT_EQ(naming.ExitCode(), 0) << naming.Transcript();

    std::vector<std::string> argv = {BuiltProgram("Quarn_EndPoint"), "--headless"};
    argv.insert(argv.end(), args.begin(), args.end());
    endPoint.program = Network().Spawn(host, argv, env);
    const std::optional<std::string> started = endPoint.program.WaitForLine("Started:", 5000);
    ASSERT_TRUE(started) << endPoint.program.Transcript();
    ASSERT_NE(started->find(EndPointName(host)), std::string::npos) << *started;
}

void EndPointNetworkTest::KillEndPoint(int host) {
    const auto found = endPoints_.find(host);
    ASSERT_NE(found, endPoints_.end());
    found->second.program.Kill();
    endPoints_.erase(found);
}

void EndPointNetworkTest::StopEndPoints() {
    for (auto& [host, endPoint] : endPoints_) {
        if (!endPoint.program.Signal(SIGTERM)) {
            ADD_FAILURE() << "EndPoint on host " << host << " ended during the test\n"
                          << endPoint.program.Transcript();
            continue;
        }
        EXPECT_TRUE(endPoint.program.WaitExit(5000)) << "EndPoint on host " << host;
        EXPECT_EQ(endPoint.program.ExitCode(), 0) << "EndPoint on host " << host << "\n"
                                                  << endPoint.program.Transcript();
    }
    endPoints_.clear();
}

}  // namespace quarn::e2e
