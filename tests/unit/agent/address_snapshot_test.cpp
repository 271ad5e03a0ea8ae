// The agent's copy of the machine's addresses follows the system's change reports, in a
// network namespace of its own.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "address/ipv4.h"
#include "endpoint/agent/address_snapshot.h"
#include "endpoint/agent/agent.h"
#include "platform/socket.h"
#include "protocol/messages.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_network.h"
#include "tests/unit/agent/agent_harness.h"

namespace quarn::agent {
namespace {

using test_support::TestNetwork;

std::vector<std::string> AddressesOf(const AddressLists& lists) {
    std::vector<std::string> addresses;
    for (const platform::Adapter& adapter : lists.adapters) {
        addresses.push_back(FormatIpv4(adapter.address));
    }
    return addresses;
}

TEST(AddressSnapshot, ListsAgainOnlyAfterTheSystemReportsAChange) {
    QUARN_SKIP_WITHOUT_NETNS();
    TestNetwork network(1);
    network.RunInHost(1, [&] {
        int listings = 0;
        AddressSnapshot snapshot([&] {
            ++listings;
            return AddressSnapshot::ListNow();
        });
        ASSERT_TRUE(platform::AddressChanges().Told());
        const std::shared_ptr<const AddressLists> first = snapshot.Current();
        EXPECT_EQ(AddressesOf(*first), std::vector<std::string>{"198.18.0.11"});
        EXPECT_EQ(first->primary, ParseIpv4("198.18.0.11"));
        EXPECT_EQ(snapshot.Current(), first);
        EXPECT_EQ(listings, 1);

        network.AddInterface(1, "198.19.0.11/24");
        const std::shared_ptr<const AddressLists> second = snapshot.Current();
        EXPECT_EQ(listings, 2);
        const std::vector<std::string> now = AddressesOf(*second);
        EXPECT_NE(std::find(now.begin(), now.end(), "198.19.0.11"), now.end());
        EXPECT_EQ(snapshot.Current(), second);
        EXPECT_EQ(snapshot.Renew()->adapters.size(), second->adapters.size());
        EXPECT_EQ(listings, 3);
    });
}

// Every reply the agent on host 1 gives one "hello" from host 2.
std::vector<std::string> RepliesToHello(const TestNetwork& network) {
    std::vector<std::string> replies;
    network.RunInHost(2, [&] {
        platform::Socket socket = platform::UdpBind(0, 0, /*broadcast=*/false);
        platform::SetRecvTimeout(socket, 500);
        platform::SendTo(socket, "hello", *ParseIpv4(network.Address(1)), protocol::kDiscoveryPort);
        for (;;) {
            const platform::DatagramResult got =
                platform::ReceiveFrom(socket, protocol::kMaxDatagram);
            if (got.status != platform::RecvStatus::Data) {
                break;
            }
            replies.push_back(got.datagram.data.substr(0, got.datagram.data.find(' ')));
        }
    });
    std::sort(replies.begin(), replies.end());
    return replies;
}

TEST(AddressSnapshot, AProbeAfterANewAdapterIsAnsweredForItWithoutWaitingForTheRefresh) {
    QUARN_SKIP_WITHOUT_NETNS();
    TestNetwork network(2);
    test_support::TempDir names;
    agent_test::RecordingObserver observer;
    AgentConfig config;
    config.nameStoreDir = names.Path();
    config.addressRefreshMs = 600000;
    std::unique_ptr<Agent> agent;
    network.RunInHost(1, [&] {
        agent = std::make_unique<Agent>(config, observer);
        ASSERT_TRUE(agent->Start());
    });
    EXPECT_EQ(RepliesToHello(network), std::vector<std::string>{"198.18.0.11"});
    // On the second bridge, which host 2 does not reach: the reply still names it.
    network.AddInterface(1, "198.19.0.11/24");
    EXPECT_EQ(RepliesToHello(network), (std::vector<std::string>{"198.18.0.11", "198.19.0.11"}));
    agent.reset();
}

}  // namespace
}  // namespace quarn::agent
