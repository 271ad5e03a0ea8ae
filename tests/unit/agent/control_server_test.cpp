// Request framing, hardening and limits of the control server, on loopback.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "protocol/messages.h"
#include "tests/unit/agent/agent_harness.h"

namespace quarn::agent_test {
namespace {

using test_support::ReadUntilClosed;

TEST(ControlServer, RequestSplitAcrossSegmentsIsAssembled) {
    FakeIperfScript script("server *: listen; hang");
    LoopbackAgent agent;
    const platform::Socket connection = agent.Send("server_con");
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    platform::SendAll(connection, "fig -s -f m -i 1");
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    platform::SendAll(connection, "\r\n");
    EXPECT_EQ(ReadReply(connection), "ok;5001\r\n");
}

// Only what the Console itself sends reaches iperf; anything else closes the connection
// without text, starts nothing and leaves the agent serving.
TEST(ControlServer, RejectedRequestsCloseWithoutTextAndStartNothing) {
    FakeIperfScript script("server *: listen; hang");
    LoopbackAgent agent;
    const std::vector<std::string> rejected = {
        "server_config -s -f m -i 1 -D\r\n",
        "server_config -s -f m -i 1 -w 64K;reboot\r\n",
        "server_config -s -f m -i 1 -w `id`\r\n",
        " -c 127.0.0.1 -i 1 -t 3 -f m -o /tmp/quarn-injected\r\n",
        " -c 127.0.0.1 -i 1 -t 3 -f m | sh\r\n",
        " -c $(reboot) -i 1 -t 3 -f m\r\n",
        " -c 127.0.0.256 -i 1 -t 3 -f m\r\n",
        " -i 1 -t 3 -f m\r\n",
        " server_config -s -f m -i 1\r\n",
        std::string(protocol::kMaxRequestLine + 100, 'a'),
    };
    for (const std::string& request : rejected) {
        const platform::Socket connection = agent.Send(request);
        const auto read = ReadUntilClosed(connection, 3000);
        EXPECT_TRUE(read.closed) << request;
        EXPECT_EQ(read.data, "") << request;
    }
    EXPECT_TRUE(script.Starts().empty());
    const platform::Socket good = agent.Send(kTcpRequest);
    // Once seen failing under Wine without a reply: say whether it connected and started.
    EXPECT_EQ(ReadReply(good), "ok;5001\r\n")
        << "connected: " << good.Valid() << ", stand-in starts: " << script.Starts().size();
}

TEST(ControlServer, IncompleteRequestTimesOutWithoutText) {
    FakeIperfScript script("");
    LoopbackAgent agent([](agent::AgentConfig& config) { config.timing.requestTimeoutMs = 300; });
    const auto begin = std::chrono::steady_clock::now();
    const platform::Socket connection = agent.Send("server_co");
    const auto read = ReadUntilClosed(connection, 3000);
    EXPECT_TRUE(read.closed);
    EXPECT_EQ(read.data, "");
    EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::milliseconds(2000));
}

// A limit per receive let a requester that sends a byte now and then hold its connection
// for ever.
TEST(ControlServer, TrickledRequestIsCutOffAtTheLineDeadline) {
    FakeIperfScript script("");
    LoopbackAgent agent([](agent::AgentConfig& config) { config.timing.requestTimeoutMs = 500; });
    const auto begin = std::chrono::steady_clock::now();
    const platform::Socket connection = agent.Send("s");
    bool closed = false;
    for (int byte = 0; byte < 30 && !closed; ++byte) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        platform::SendAll(connection, "e");
        closed = ReadUntilClosed(connection, 1).closed;
    }
    EXPECT_TRUE(closed);
    EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::milliseconds(1500));
}

constexpr uint32_t kFirstSource = 0x7F000001;   // 127.0.0.1
constexpr uint32_t kSecondSource = 0x7F000002;  // 127.0.0.2

// A connection from a chosen loopback address, so that two sources can be told apart.
platform::Socket ConnectFrom(uint32_t source, uint16_t port, const std::string& text) {
    platform::Socket socket = platform::TcpConnectFrom(source, 0x7F000001, port, 2000);
    if (socket.Valid()) {
        platform::SendAll(socket, text);
    }
    return socket;
}

// Idle connections from one host locked every other requester out.
TEST(ControlServer, ConnectionsAndServersAreBoundedPerSource) {
    FakeIperfScript script("server *: listen; hang");
    LoopbackAgent agent([](agent::AgentConfig& config) {
        config.maxConnections = 10;
        config.maxConnectionsPerSource = 3;
        config.maxServersPerRequester = 2;
        // Silent servers must stay up while the limits are probed, however long that takes;
        // only the requester's leaving ends them.
        config.timing.runIdlePolls = 100000;
    });
    const uint16_t port = agent.ControlPort();
    std::vector<platform::Socket> servers;
    for (int i = 0; i < 2; ++i) {
        servers.push_back(ConnectFrom(kFirstSource, port, kTcpRequest));
        EXPECT_EQ(ReadReply(servers.back()), "ok;" + std::to_string(5001 + 3 * i) + "\r\n");
    }
    // A third server for the same requester: refused like a failed start.
    platform::Socket third = ConnectFrom(kFirstSource, port, kTcpRequest);
    auto read = ReadUntilClosed(third, 2000);
    EXPECT_TRUE(read.closed);
    EXPECT_EQ(read.data, "");

    const platform::Socket idle = ConnectFrom(kFirstSource, port, "");
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    // The source holds three connections now; a fourth is closed at once.
    read = ReadUntilClosed(ConnectFrom(kFirstSource, port, kTcpRequest), 2000);
    EXPECT_TRUE(read.closed);
    EXPECT_EQ(read.data, "");

    // Another host is served all the same.
    const platform::Socket other = ConnectFrom(kSecondSource, port, kTcpRequest);
    EXPECT_EQ(ReadReply(other), "ok;5007\r\n");
}

TEST(ControlServer, ConnectionsBeyondTheLimitAreClosedAtOnce) {
    FakeIperfScript script("server *: listen; hang");
    LoopbackAgent agent([](agent::AgentConfig& config) { config.maxConnections = 3; });
    std::vector<platform::Socket> idle;
    for (int i = 0; i < 3; ++i) {
        idle.push_back(agent.Send(""));
    }
    // Give the listener time to hand the three to their threads.
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    const platform::Socket refused = agent.Send(kTcpRequest);
    const auto read = ReadUntilClosed(refused, 2000);
    EXPECT_TRUE(read.closed);
    EXPECT_EQ(read.data, "");

    // A freed place is served again.
    idle.pop_back();
    std::string reply;
    for (int attempt = 0; attempt < 20 && reply.empty(); ++attempt) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        reply = ReadReply(agent.Send(kTcpRequest), 1000);
    }
    EXPECT_EQ(reply, "ok;5001\r\n");
}

}  // namespace
}  // namespace quarn::agent_test
