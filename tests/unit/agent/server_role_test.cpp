// The server role end to end inside one process: framing, validation, port attempts and
// streaming, with the iperf stand-in on loopback.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "protocol/messages.h"
#include "tests/unit/agent/agent_harness.h"

namespace quarn::agent_test {
namespace {

using test_support::ProcessAlive;
using test_support::ReadUntilClosed;
using test_support::ReadUntilContains;

const std::vector<std::string> kServerArgs = {"-s", "-f", "m", "-i", "1", "-p"};

std::vector<std::string> ServerArgs(const std::string& port) {
    std::vector<std::string> args = kServerArgs;
    args.push_back(port);
    return args;
}

TEST(ServerRole, BindFailureOnTheFirstPortMovesToTheSecond) {
    // Old iperf reports the failed bind and still claims to listen.
    FakeIperfScript script("server 5001: eprint bind failed: Address already in use; listen; hang");
    LoopbackAgent agent;
    const platform::Socket connection = agent.Send(kTcpRequest);
    EXPECT_EQ(ReadReply(connection), "ok;5002\r\n");
    const auto starts = script.Starts();
    ASSERT_EQ(starts.size(), 2u);
    EXPECT_EQ(starts[0].args, ServerArgs("5001"));
    EXPECT_EQ(starts[1].args, ServerArgs("5002"));
    EXPECT_EQ(starts[1].owner, OwnMarker());
}

TEST(ServerRole, ExitBeforeListeningMovesToTheNextPort) {
    FakeIperfScript script("server 5001: print starting up; exit 1");
    LoopbackAgent agent;
    const platform::Socket connection = agent.Send(kTcpRequest);
    EXPECT_EQ(ReadReply(connection), "ok;5002\r\n");
}

TEST(ServerRole, ThreeFailedAttemptsCloseWithoutReply) {
    FakeIperfScript script("server *: bindfail");
    LoopbackAgent agent;
    const platform::Socket connection = agent.Send(kTcpRequest);
    const auto read = ReadUntilClosed(connection, 3000);
    EXPECT_TRUE(read.closed);
    EXPECT_EQ(read.data, "");
    const auto starts = script.Starts();
    ASSERT_EQ(starts.size(), 3u);
    EXPECT_EQ(starts[2].args, ServerArgs("5003"));
    EXPECT_EQ(agent.Get().Status(), agent::AgentStatus::Ready);
}

TEST(ServerRole, SilentServerIsEndedWithoutReply) {
    FakeIperfScript script("server *: hang");
    // The start-up limit is what is tested here, so it is short again.
    LoopbackAgent agent([](agent::AgentConfig& config) { config.timing.startupIdlePolls = 25; });
    const auto begin = std::chrono::steady_clock::now();
    const platform::Socket connection = agent.Send(kTcpRequest);
    const auto read = ReadUntilClosed(connection, 3000);
    EXPECT_TRUE(read.closed);
    EXPECT_EQ(read.data, "");
    // 25 polls of 20 ms, not the three attempts a failure would make.
    EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::milliseconds(1500));
    const auto starts = script.Starts();
    ASSERT_EQ(starts.size(), 1u);
    EXPECT_TRUE(EndsWithin(starts[0].pid, 1000));
}

TEST(ServerRole, MissingIperfClosesWithoutReplyOrRetry) {
    FakeIperfScript script("");
    LoopbackAgent agent(
        [](agent::AgentConfig& config) { config.iperfPath = "/nonexistent/iperf"; });
    const platform::Socket connection = agent.Send(kTcpRequest);
    const auto read = ReadUntilClosed(connection, 2000);
    EXPECT_TRUE(read.closed);
    EXPECT_EQ(read.data, "");
}

TEST(ServerRole, StreamsOutputUntilSilenceAndReportsStatus) {
    FakeIperfScript script("server *: listen; report 3 50; hang");
    LoopbackAgent agent;
    const platform::Socket connection = agent.Send(kTcpRequest);
    EXPECT_EQ(ReadReply(connection), "ok;5001\r\n");
    EXPECT_TRUE(agent.Observer().WaitFor("status:Running", 1000));
    const auto read = ReadUntilClosed(connection, 3000);
    EXPECT_TRUE(read.closed);
    EXPECT_NE(read.data.find("[  1] 2.0000-3.0000 sec"), std::string::npos) << read.data;
    // The banner before "listening" is not part of the stream.
    EXPECT_EQ(read.data.find("Server listening"), std::string::npos);
    EXPECT_TRUE(agent.Observer().WaitFor("status:Ready", 1000));
    EXPECT_TRUE(EndsWithin(script.Starts().at(0).pid, 1000));
}

TEST(ServerRole, StatusStaysRunningUntilTheLastServerEnds) {
    // The first server ends first, yet only after the second has started, however long
    // that start takes (most of a second under load, 0.2 s and more under Wine); both end by
    // exiting, not by falling silent.
    FakeIperfScript script(
        "server 5001: listen; sleep 1000; exit 0\n"
        "server *: listen; sleep 1500; exit 0");
    LoopbackAgent agent([](agent::AgentConfig& config) { config.timing.runIdlePolls = 100000; });
    const platform::Socket shortRun = agent.Send(kTcpRequest);
    ASSERT_EQ(ReadReply(shortRun), "ok;5001\r\n");
    const platform::Socket longRun = agent.Send(kTcpRequest);
    ASSERT_EQ(ReadReply(longRun), "ok;5004\r\n");
    EXPECT_TRUE(ReadUntilClosed(shortRun, 3000).closed);
    EXPECT_EQ(agent.Get().Status(), agent::AgentStatus::Running);
    EXPECT_TRUE(ReadUntilClosed(longRun, 3000).closed);
    EXPECT_TRUE(agent.Observer().WaitFor("status:Ready", 1000));
    EXPECT_EQ(agent.Observer().Events(),
              (std::vector<std::string>{"started", "status:Running", "status:Ready"}));
}

TEST(ServerRole, OutputWrittenJustBeforeExitIsDelivered) {
    FakeIperfScript script("server *: listen; sleep 100; print last words; exit 0");
    LoopbackAgent agent;
    const platform::Socket connection = agent.Send(kTcpRequest);
    EXPECT_EQ(ReadReply(connection), "ok;5001\r\n");
    const auto read = ReadUntilClosed(connection, 3000);
    EXPECT_TRUE(read.closed);
    EXPECT_NE(read.data.find("last words"), std::string::npos);
}

TEST(ServerRole, UdpRequestReadsTheUdpTableAndPassesUdpOptions) {
    FakeIperfScript script("server *: listen; hang");
    std::vector<bool> tablesRead;
    std::mutex tablesMutex;
    LoopbackAgent agent([&](agent::AgentConfig& config) {
        config.busyPorts = [&](bool udp) {
            std::lock_guard lock(tablesMutex);
            tablesRead.push_back(udp);
            return std::set<uint16_t>{5001};
        };
    });
    const platform::Socket connection = agent.Send(std::string(protocol::kServerRequestUdp));
    EXPECT_EQ(ReadReply(connection), "ok;5002\r\n");
    EXPECT_EQ(script.Starts().at(0).args,
              (std::vector<std::string>{"-s", "-u", "-f", "m", "-i", "1", "-p", "5002"}));
    std::lock_guard lock(tablesMutex);
    EXPECT_EQ(tablesRead, std::vector<bool>{true});
}

TEST(ServerRole, RequestsInQuickSuccessionGetSeparatePortRanges) {
    FakeIperfScript script("server *: listen; hang");
    LoopbackAgent agent;
    const platform::Socket first = agent.Send(kTcpRequest);
    const platform::Socket second = agent.Send(kTcpRequest);
    const std::string replies = ReadReply(first) + ReadReply(second);
    // Either may be served first; between them they hold the two ranges' first ports.
    EXPECT_TRUE(replies == "ok;5001\r\nok;5004\r\n" || replies == "ok;5004\r\nok;5001\r\n")
        << replies;
    EXPECT_EQ(agent.Get().NextIperfPort(), 5007);
}

TEST(ServerRole, WindowRequestPassesTheWindow) {
    FakeIperfScript script("server *: listen; hang");
    LoopbackAgent agent;
    const platform::Socket connection = agent.Send("server_config -s -f m -i 1 -w 256K\r\n");
    EXPECT_EQ(ReadReply(connection), "ok;5001\r\n");
    EXPECT_EQ(script.Starts().at(0).args,
              (std::vector<std::string>{"-s", "-f", "m", "-i", "1", "-w", "256K", "-p", "5001"}));
}

}  // namespace
}  // namespace quarn::agent_test
