// End Point 1's client role against a second in-process agent as End Point 2.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "tests/unit/agent/agent_harness.h"

namespace quarn::agent_test {
namespace {

using test_support::ReadUntilClosed;

TEST(ClientRole, ForwardsThePeersStreamAndRunsTheClientAgainstIt) {
    FakeIperfScript script(
        "server *: listen; report 3 50; hang\n"
        "client *: sleep 100; exit 0");
    LoopbackAgent endPoint2;
    LoopbackAgent endPoint1(
        [&](agent::AgentConfig& config) { config.peerControlPort = endPoint2.ControlPort(); });
    const platform::Socket console = endPoint1.Send(" -c 127.0.0.1 -i 1 -t 3 -f m\r\n");
    // End Point 2 falls silent after three lines, closes, and End Point 1 follows.
    const auto read = ReadUntilClosed(console, 5000);
    EXPECT_TRUE(read.closed);
    EXPECT_NE(read.data.find("[  1] 2.0000-3.0000 sec"), std::string::npos) << read.data;
    EXPECT_EQ(read.data.find("ok;"), std::string::npos);

    std::vector<std::string> clientArgs;
    for (const auto& start : script.Starts()) {
        if (start.args.at(0) == "-c") {
            clientArgs = start.args;
            EXPECT_EQ(start.owner, OwnMarker());
        }
    }
    EXPECT_EQ(clientArgs, (std::vector<std::string>{"-c", "127.0.0.1", "-i", "1", "-t", "3", "-f",
                                                    "m", "-p", "5001"}));
}

// The client and the server it asked for kept running for the whole "-t" after the
// requester had gone.
TEST(ClientRole, RequesterGoingAwayEndsTheClientAndThePeersServer) {
    FakeIperfScript script(
        "server *: listen; report 1000 50; hang\n"
        "client *: sleep 1000; exit 0");
    LoopbackAgent endPoint2([](agent::AgentConfig& config) { config.timing = FastTiming(); });
    LoopbackAgent endPoint1([&](agent::AgentConfig& config) {
        config.timing = FastTiming();
        config.timing.runIdlePolls = 100000;  // only the requester's leaving ends it
        config.peerControlPort = endPoint2.ControlPort();
    });
    platform::Socket console = endPoint1.Send(" -c 127.0.0.1 -i 1 -t 259500 -f m\r\n");
    ASSERT_NE(test_support::ReadUntilContains(console, "sec", 5000).data, "");
    std::vector<pid_t> pids;
    for (int attempt = 0; attempt < 100 && pids.size() < 2; ++attempt) {
        pids.clear();
        for (const auto& start : script.Starts()) {
            pids.push_back(start.pid);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    ASSERT_EQ(pids.size(), 2u);  // the server and the client

    console.Close();
    for (const pid_t pid : pids) {
        EXPECT_TRUE(EndsWithin(pid, 3000)) << pid;
    }
    EXPECT_TRUE(endPoint2.Observer().WaitFor("status:Ready", 3000));
}

// An EndPoint that sends is measuring too: "Running" from its peer's "ok" until its client
// ends, also when a server role of its own ends meanwhile.
TEST(ClientRole, SendingEndPointShowsRunningUntilItsClientEnds) {
    FakeIperfScript script(
        "server *: listen; report 1000 50; hang\n"
        "client *: sleep 1000; exit 0");
    test_support::PrivateFakeIperf ownIperf(
        "server *: listen; sleep 300; exit 0\n"
        "client *: sleep 1000; exit 0");
    LoopbackAgent endPoint2;
    LoopbackAgent endPoint1([&](agent::AgentConfig& config) {
        config.peerControlPort = endPoint2.ControlPort();
        config.iperfPath = ownIperf.Path();
        config.timing.runIdlePolls = 100000;  // the silent client runs until the requester goes
    });
    platform::Socket console = endPoint1.Send(" -c 127.0.0.1 -i 1 -t 259500 -f m\r\n");
    ASSERT_NE(test_support::ReadUntilContains(console, "sec", 5000).data, "");
    EXPECT_TRUE(endPoint1.Observer().WaitFor("status:Running", 3000));

    // A Console of its own asks End Point 1 for a short server while it sends.
    const platform::Socket server = endPoint1.Send("server_config -s -f m -i 1\r\n");
    ASSERT_EQ(ReadReply(server), "ok;5001\r\n");
    EXPECT_TRUE(ReadUntilClosed(server, 3000).closed);
    EXPECT_EQ(endPoint1.Get().Status(), agent::AgentStatus::Running);

    console.Close();
    EXPECT_TRUE(endPoint1.Observer().WaitFor("status:Ready", 3000));
    EXPECT_EQ(endPoint1.Observer().Events(),
              (std::vector<std::string>{"started", "status:Running", "status:Ready"}));
}

TEST(ClientRole, FailedServerRequestClosesWithoutTextAndStartsNoClient) {
    FakeIperfScript script("server *: bindfail");
    LoopbackAgent endPoint2;
    LoopbackAgent endPoint1(
        [&](agent::AgentConfig& config) { config.peerControlPort = endPoint2.ControlPort(); });
    const platform::Socket console = endPoint1.Send(" -c 127.0.0.1 -i 1 -t 3 -u -b 10M -f m\r\n");
    const auto read = ReadUntilClosed(console, 5000);
    EXPECT_TRUE(read.closed);
    EXPECT_EQ(read.data, "");
    for (const auto& start : script.Starts()) {
        EXPECT_EQ(start.args.at(0), "-s");
        // A UDP client command asks for a UDP server.
        EXPECT_EQ(start.args.at(1), "-u");
    }
}

}  // namespace
}  // namespace quarn::agent_test
