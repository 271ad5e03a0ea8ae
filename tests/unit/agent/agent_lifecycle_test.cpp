// Start, restart and shutdown of the whole agent on loopback.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "platform/name_store.h"
#include "protocol/messages.h"
#include "tests/unit/agent/agent_harness.h"

namespace quarn::agent_test {
namespace {

using test_support::ProcessAlive;
using test_support::ReadUntilClosed;

constexpr uint32_t kLoopback = 0x7F000001;

TEST(AgentLifecycle, ShutdownWithOpenConnectionsEndsQuicklyAndEndsIperf) {
    FakeIperfScript script(
        "server *: listen; report 1000 50\n"
        "client *: hang");
    LoopbackAgent endPoint2([](agent::AgentConfig& config) {
        config.timing = agent::IperfTiming();  // the real, long limits
    });
    LoopbackAgent endPoint1([&](agent::AgentConfig& config) {
        config.timing = agent::IperfTiming();
        config.peerControlPort = endPoint2.ControlPort();
    });
    std::vector<platform::Socket> idle;
    for (int i = 0; i < 5; ++i) {
        idle.push_back(endPoint2.Send("server_config"));  // never completed
    }
    const platform::Socket streaming = endPoint2.Send(kTcpRequest);
    ASSERT_EQ(ReadReply(streaming), "ok;5001\r\n");
    const platform::Socket forwarding = endPoint1.Send(" -c 127.0.0.1 -i 1 -t 300 -f m\r\n");
    ASSERT_NE(test_support::ReadUntilContains(forwarding, "sec", 3000).data, "");

    const auto begin = std::chrono::steady_clock::now();
    endPoint1.Get().Shutdown();
    endPoint2.Get().Shutdown();
    EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::milliseconds(2000));
    for (const auto& start : script.Starts()) {
        EXPECT_FALSE(ProcessAlive(start.pid)) << start.args.at(0);
    }
    for (const platform::Socket& socket : idle) {
        EXPECT_TRUE(ReadUntilClosed(socket, 1000).closed);
    }
    EXPECT_TRUE(ReadUntilClosed(streaming, 1000).closed);
    EXPECT_TRUE(ReadUntilClosed(forwarding, 1000).closed);
    // No connection is accepted after shutdown.
    EXPECT_FALSE(test_support::ConnectLoopback(endPoint2.ControlPort(), 500).Valid());
}

TEST(AgentLifecycle, ShutdownEndsAServerStartThatWaitsForListening) {
    FakeIperfScript script("server *: hang");
    LoopbackAgent agent([](agent::AgentConfig& config) {
        config.timing = agent::IperfTiming();  // ten seconds of silence before it gives up
    });
    const platform::Socket request = agent.Send(kTcpRequest);
    const auto waitStart = std::chrono::steady_clock::now();
    while (script.Starts().empty() &&
           std::chrono::steady_clock::now() - waitStart < std::chrono::seconds(5)) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ASSERT_EQ(script.Starts().size(), 1u);

    const auto begin = std::chrono::steady_clock::now();
    agent.Get().Shutdown();
    EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::milliseconds(2000));
    EXPECT_FALSE(ProcessAlive(script.Starts().at(0).pid));
    const auto closed = ReadUntilClosed(request, 1000);
    EXPECT_TRUE(closed.closed);
    EXPECT_EQ(closed.data, "");
}

// Sends a client command whose server request cannot finish, then shuts the agent down:
// that must not wait for the request's timeouts, and the Console's connection closes.
void ExpectClientRoleShutdownIsQuick(LoopbackAgent& endPoint1) {
    const platform::Socket console = endPoint1.Send(" -c 127.0.0.1 -i 1 -t 3 -f m\r\n");
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    const auto begin = std::chrono::steady_clock::now();
    endPoint1.Get().Shutdown();
    EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::milliseconds(2000));
    EXPECT_TRUE(ReadUntilClosed(console, 1000).closed);
}

TEST(AgentLifecycle, ShutdownDoesNotWaitForAPeerThatNeverReplies) {
    FakeIperfScript script("");
    // A peer that accepts (through its backlog) and never answers the server request.
    const platform::Socket mutePeer = platform::TcpListen(kLoopback, 0, 4);
    ASSERT_TRUE(mutePeer.Valid());
    LoopbackAgent endPoint1([&](agent::AgentConfig& config) {
        config.timing = agent::IperfTiming();  // 15 s for the reply
        config.peerControlPort = platform::LocalPort(mutePeer);
    });
    ExpectClientRoleShutdownIsQuick(endPoint1);
}

TEST(AgentLifecycle, ShutdownDoesNotWaitForAConnectThatHangs) {
    FakeIperfScript script("");
    // A full accept queue drops further SYNs, so a connect to it hangs.
    const platform::Socket fullPeer = platform::TcpListen(kLoopback, 0, 0);
    ASSERT_TRUE(fullPeer.Valid());
    const uint16_t peerPort = platform::LocalPort(fullPeer);
    std::vector<platform::Socket> queued;
    for (int i = 0; i < 4; ++i) {
        queued.push_back(test_support::ConnectLoopback(peerPort, 200));
    }
    ASSERT_FALSE(test_support::ConnectLoopback(peerPort, 300).Valid()) << "queue not full";
    LoopbackAgent endPoint1([&](agent::AgentConfig& config) {
        config.timing = agent::IperfTiming();  // 10 s for the connect
        config.peerControlPort = peerPort;
    });
    ExpectClientRoleShutdownIsQuick(endPoint1);
}

TEST(AgentLifecycle, RestartEndsIperfAndStartsThePortsAgain) {
    FakeIperfScript script("server *: listen; hang");
    // Silence must not end the server first: only the restart is to end it.
    LoopbackAgent agent([](agent::AgentConfig& config) { config.timing.runIdlePolls = 100000; });
    const platform::Socket first = agent.Send(kTcpRequest);
    ASSERT_EQ(ReadReply(first), "ok;5001\r\n");
    ASSERT_EQ(agent.Get().NextIperfPort(), 5004);

    const platform::Socket udp = platform::UdpSocket(false);
    // "restart" followed by more bytes counts as "restart".
    ASSERT_TRUE(platform::SendTo(udp, "restart now", kLoopback, agent.Get().DiscoveryPort()));
    // Its iperf ended, so the server connection ends.
    EXPECT_TRUE(ReadUntilClosed(first, 3000).closed);
    EXPECT_FALSE(ProcessAlive(script.Starts().at(0).pid));
    // The port goes back once both sweeps are done.
    for (int wait = 0; wait < 100 && agent.Get().NextIperfPort() != 5001; ++wait) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_EQ(agent.Get().NextIperfPort(), 5001);
    EXPECT_EQ(ReadReply(agent.Send(kTcpRequest)), "ok;5001\r\n");
}

TEST(AgentLifecycle, CapitalisedWordsAreIgnored) {
    FakeIperfScript script("server *: listen; hang");
    LoopbackAgent agent([](agent::AgentConfig& config) { config.timing.runIdlePolls = 1000; });
    const platform::Socket server = agent.Send(kTcpRequest);
    ASSERT_EQ(ReadReply(server), "ok;5001\r\n");
    const platform::Socket udp = platform::UdpBind(kLoopback, 0, false);
    platform::SetRecvTimeout(udp, 300);
    ASSERT_TRUE(platform::SendTo(udp, "Hello", kLoopback, agent.Get().DiscoveryPort()));
    ASSERT_TRUE(platform::SendTo(udp, "Restart", kLoopback, agent.Get().DiscoveryPort()));
    EXPECT_EQ(platform::ReceiveFrom(udp, protocol::kMaxDatagram).status,
              platform::RecvStatus::TimedOut);
    EXPECT_FALSE(ReadUntilClosed(server, 300).closed);
    EXPECT_EQ(agent.Get().NextIperfPort(), 5004);
}

TEST(AgentLifecycle, SecondAgentOnTheSamePortsReportsBoth) {
    FakeIperfScript script("");
    LoopbackAgent first;
    const uint16_t controlPort = first.ControlPort();
    const uint16_t discoveryPort = first.Get().DiscoveryPort();
    LoopbackAgent second([&](agent::AgentConfig& config) {
        config.controlPort = controlPort;
        config.discoveryPort = discoveryPort;
    });
    EXPECT_TRUE(second.Observer().WaitFor("port:" + std::to_string(controlPort), 1000));
    EXPECT_TRUE(second.Observer().WaitFor("port:" + std::to_string(discoveryPort), 1000));
    EXPECT_FALSE(second.Observer().WaitFor("started", 100));
    EXPECT_TRUE(first.Observer().WaitFor("started", 100));
}

TEST(AgentLifecycle, RenameIsStoredAndReportedAndResetReturnsToTheComputerName) {
    FakeIperfScript script("");
    LoopbackAgent agent;
    ASSERT_TRUE(agent.Get().Rename("Lab PC 7"));
    EXPECT_EQ(agent.Get().DisplayName(), "Lab PC 7");
    EXPECT_TRUE(agent.Observer().WaitFor("name:Lab PC 7", 1000));
    EXPECT_FALSE(agent.Get().Rename("two\nlines"));
    EXPECT_FALSE(agent.Get().Rename(""));
    EXPECT_EQ(agent.Get().DisplayName(), "Lab PC 7");
    agent.Get().ResetName();
    EXPECT_EQ(agent.Get().DisplayName(), platform::ComputerName());
}

TEST(AgentLifecycle, NameStoredByAnotherProcessIsTakenUpOnTheNextRefresh) {
    FakeIperfScript script("");
    LoopbackAgent agent([](agent::AgentConfig& config) { config.addressRefreshMs = 50; });
    ASSERT_TRUE(platform::NameStore(agent.ConfigDir()).Save("Renamed Elsewhere"));
    EXPECT_TRUE(agent.Observer().WaitFor("name:Renamed Elsewhere", 2000));
    EXPECT_EQ(agent.Get().DisplayName(), "Renamed Elsewhere");
}

}  // namespace
}  // namespace quarn::agent_test
