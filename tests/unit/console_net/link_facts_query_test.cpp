#include "console/net/link_facts_query.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "address/ip_address.h"
#include "platform/socket.h"
#include "platform/socket6.h"
#include "protocol/endpoint_facts.h"
#include "protocol/messages.h"

namespace quarn::console {
namespace {

constexpr uint32_t kQueryLoopback = 0x7F000001;

TEST(LinkFactsQuery, AsksEachAddressAndWaitsNoLongerThanTold) {
    platform::Socket endPoint = platform::UdpBind(kQueryLoopback, 0, false);
    ASSERT_TRUE(endPoint.Valid());
    ASSERT_TRUE(platform::SetRecvTimeout(endPoint, 100));
    std::atomic<int> asked{0};
    std::jthread answering([&](std::stop_token stop) {
        while (!stop.stop_requested()) {
            const platform::DatagramResult probe =
                platform::ReceiveFrom(endPoint, protocol::kMaxDatagram);
            if (probe.status != platform::RecvStatus::Data ||
                !protocol::IsFactsProbe(probe.datagram.data))
                continue;
            ++asked;
            // One address it was not asked about, then the one it was.
            platform::SendTo(endPoint, "facts addr=127.0.0.9 speed=1", probe.datagram.addr,
                             probe.datagram.port);
            platform::SendTo(endPoint, "facts addr=127.0.0.1 if=lo speed=1000 mtu=1500",
                             probe.datagram.addr, probe.datagram.port);
        }
    });
    const auto started = std::chrono::steady_clock::now();
    const auto links = AskLinkFacts({"127.0.0.1", "127.0.0.2", "127.0.0.1", "no address"},
                                    platform::LocalPort(endPoint), std::chrono::milliseconds(400));
    const auto took = std::chrono::steady_clock::now() - started;
    answering.request_stop();
    EXPECT_EQ(asked.load(), 1);  // once per address; nobody listens for 127.0.0.2 here
    ASSERT_EQ(links.size(), 1u);
    EXPECT_EQ(links.at("127.0.0.1").speedMbps, 1000);
    EXPECT_GE(took, std::chrono::milliseconds(400));
    EXPECT_LT(took, std::chrono::milliseconds(1500));
}

// An IPv6 address is asked over IPv6 and known by its canonical text.
TEST(LinkFactsQuery, AsksIpv6AddressesOverIpv6) {
    platform::Socket endPoint = platform::UdpBind6(*ParseIpAddress("::1"), 0);
    ASSERT_TRUE(endPoint.Valid());
    ASSERT_TRUE(platform::SetRecvTimeout(endPoint, 100));
    std::jthread answering([&](std::stop_token stop) {
        while (!stop.stop_requested()) {
            const platform::Datagram6Result probe =
                platform::ReceiveFrom6(endPoint, protocol::kMaxDatagram);
            if (probe.status == platform::RecvStatus::Data &&
                protocol::IsFactsProbe(probe.datagram.data))
                platform::SendTo6(endPoint, "facts addr=0:0::1 if=answered mtu=1280",
                                  probe.datagram.addr, probe.datagram.port);
        }
    });
    const auto links =
        AskLinkFacts({"::1"}, platform::LocalPort(endPoint), std::chrono::milliseconds(1000));
    answering.request_stop();
    ASSERT_EQ(links.count("::1"), 1u);
    EXPECT_EQ(links.at("::1").mtu, 1280);  // not its own link as this system reports it
    EXPECT_EQ(links.at("::1").interfaceName, "answered");
}

}  // namespace
}  // namespace quarn::console
