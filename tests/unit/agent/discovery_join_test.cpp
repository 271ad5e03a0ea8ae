// The agent's refresh joins the all-nodes group on an interface that comes up after the
// agent started, in a network namespace of its own.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>

#include "address/ip_address.h"
#include "endpoint/agent/agent.h"
#include "platform/socket6.h"
#include "protocol/messages.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_network.h"
#include "tests/unit/agent/agent_harness.h"

namespace quarn::agent {
namespace {

using test_support::TestNetwork;

// Sends "hello" to ff02::1 on host's eth0 until a reply comes or the time is up.
std::string ReplyToAllNodes(const TestNetwork& network, int host, int timeoutMs) {
    std::string reply;
    network.RunInHost(host, [&] {
        platform::Socket socket = platform::UdpBind6(IpAddress::V6({}), 0);
        platform::SetRecvTimeout(socket, 200);
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (reply.empty() && std::chrono::steady_clock::now() < deadline) {
            platform::SendTo6(socket, "hello", *ParseIpAddress("ff02::1%eth0"),
                              protocol::kDiscoveryPort);
            reply = platform::ReceiveFrom6(socket, protocol::kMaxDatagram).datagram.data;
        }
    });
    return reply;
}

TEST(DiscoveryJoin, TheRefreshJoinsAnInterfaceThatComesUpLater) {
    QUARN_SKIP_WITHOUT_NETNS();
    TestNetwork network(2);
    ASSERT_EQ(network.Run(1, {"ip", "link", "set", "eth0", "down"}).exitCode, 0);
    ASSERT_EQ(network.Run(2, {"ip", "-6", "addr", "add", "fe80::77:12/64", "dev", "eth0", "nodad"})
                  .exitCode,
              0);
    test_support::TempDir names;
    agent_test::RecordingObserver observer;
    AgentConfig config;
    config.nameStoreDir = names.Path();
    config.addressRefreshMs = 200;
    std::unique_ptr<Agent> agent;
    // The agent's threads start in host 1 and stay there.
    network.RunInHost(1, [&] {
        agent = std::make_unique<Agent>(config, observer);
        ASSERT_TRUE(agent->Start());
    });

    for (const std::vector<std::string>& step :
         {std::vector<std::string>{"ip", "link", "set", "eth0", "up"},
          std::vector<std::string>{"ip", "-6", "addr", "add", "fe80::77:11/64", "dev", "eth0",
                                   "nodad"}}) {
        ASSERT_EQ(network.Run(1, step).exitCode, 0);
    }
    EXPECT_TRUE(ReplyToAllNodes(network, 2, 3000).starts_with("fe80::77:11 5001 45000 "));
    agent.reset();
}

}  // namespace
}  // namespace quarn::agent
