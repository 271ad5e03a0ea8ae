#include "platform/socket6.h"

#include <gtest/gtest.h>

#include "platform/adapters.h"
#include "platform/adapters6.h"

namespace quarn::platform {
namespace {

const IpAddress kLoopback6 = *ParseIpAddress("::1");
const IpAddress kAny6 = IpAddress::V6({});

TEST(Socket6, DatagramsCarryTheSenderBackOnLoopback) {
    Socket server = UdpBind6(kLoopback6, 0);
    ASSERT_TRUE(server.Valid());
    ASSERT_TRUE(SetRecvTimeout(server, 2000));
    Socket client = UdpBind6(kAny6, 0);
    ASSERT_TRUE(client.Valid());
    ASSERT_TRUE(SetRecvTimeout(client, 300));
    ASSERT_TRUE(SendTo6(client, "hello", kLoopback6, LocalPort(server)));
    const Datagram6Result got = ReceiveFrom6(server, 64);
    ASSERT_EQ(got.status, RecvStatus::Data);
    EXPECT_EQ(got.datagram.data, "hello");
    EXPECT_EQ(FormatIpAddress(got.datagram.addr), "::1");
    EXPECT_EQ(got.datagram.port, LocalPort(client));
    ASSERT_TRUE(SendTo6(server, "reply", got.datagram.addr, got.datagram.port));
    EXPECT_EQ(ReceiveFrom6(client, 3).datagram.data, "rep");  // cut to maxLen
    EXPECT_EQ(ReceiveFrom6(client, 64).status, RecvStatus::TimedOut);
}

TEST(Socket6, ListenerIsIpv6OnlyBesideAnIpv4OneOnTheSamePort) {
    Socket v6 = TcpListen6(kAny6, 0, 4);
    ASSERT_TRUE(v6.Valid());
    const uint16_t port = LocalPort(v6);
    // IPv6-only, so the IPv4 listener the EndPoint already has can share the port.
    Socket v4 = TcpListen(0x7F000001u, port, 4);
    ASSERT_TRUE(v4.Valid());
    Socket client = TcpConnect6(kLoopback6, port, 2000);
    ASSERT_TRUE(client.Valid());
    Socket accepted = Accept(v6);
    ASSERT_TRUE(accepted.Valid());
    EXPECT_EQ(PeerIpAddress(accepted), kLoopback6);
    EXPECT_EQ(PeerAddress(accepted), std::nullopt);  // the IPv4 view knows no IPv6 peer
    Socket client4 = TcpConnect(0x7F000001u, port, 2000);
    ASSERT_TRUE(client4.Valid());
    Socket accepted4 = Accept(v4);
    EXPECT_EQ(PeerIpAddress(accepted4), IpAddress::V4(0x7F000001u));
    Socket second = TcpListen6(kAny6, port, 4);
    EXPECT_FALSE(second.Valid());
}

TEST(Socket6, ConnectToAClosedPortFails) {
    Socket probe = TcpListen6(kLoopback6, 0, 1);
    const uint16_t port = LocalPort(probe);
    probe.Close();
    EXPECT_FALSE(TcpConnect6(kLoopback6, port, 2000).Valid());
    EXPECT_EQ(ZoneIndex("lo"), ZoneIndex(ZoneName(ZoneIndex("lo"))));
    EXPECT_NE(ZoneIndex("lo"), 0u);
    EXPECT_EQ(ZoneIndex("no-such-if"), 0u);
    EXPECT_EQ(ZoneIndex("7"), 7u);
}

Interface6Address Entry(const char* name, unsigned flags, const char* address) {
    return {name, 1, flags, *ParseIpAddress(address)};
}

TEST(Adapters6, EachInterfaceAnnouncesARoutableAddressBeforeALinkLocalOne) {
    constexpr unsigned kUp = kInterfaceUp | kInterfaceMulticast;
    const auto chosen = SelectQualifying6({
        Entry("lo", kUp | kInterfaceLoopback, "::1"),
        Entry("eth0", kUp, "fe80::1"),
        Entry("eth0", kUp, "fd00:77::2"),
        Entry("eth0", kUp, "2001:db8::2"),
        Entry("eth1", kUp, "fe80::2"),
        Entry("down0", kInterfaceMulticast, "fd00:1::1"),
        Entry("nomc0", kInterfaceUp, "fd00:2::1"),
        Entry("eth2", kUp, "ff02::1"),
        Entry("eth2", kUp, "::ffff:10.0.0.1"),
    });
    ASSERT_EQ(chosen.size(), 2u);
    EXPECT_EQ(chosen[0].name, "eth0");
    EXPECT_EQ(FormatIpAddress(chosen[0].address), "fd00:77::2");
    EXPECT_EQ(chosen[1].name, "eth1");
    EXPECT_EQ(FormatIpAddress(chosen[1].address), "fe80::2");
}

}  // namespace
}  // namespace quarn::platform
