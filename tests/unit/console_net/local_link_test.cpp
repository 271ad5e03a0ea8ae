#include "console/net/local_link.h"

#include <gtest/gtest.h>

#include "address/ipv4.h"

namespace quarn::console {
namespace {

using platform::InterfaceAddress;
using platform::kInterfaceBroadcast;
using platform::kInterfaceLoopback;
using platform::kInterfaceUp;

constexpr unsigned kUp = kInterfaceUp | kInterfaceBroadcast;

InterfaceAddress Entry(const char* name, const char* address, const char* netmask,
                       unsigned flags = kUp) {
    return InterfaceAddress{name, flags, *ParseIpv4(address), *ParseIpv4(netmask)};
}

uint32_t At(const char* address) {
    return *ParseIpv4(address);
}

const std::vector<InterfaceAddress> kOwn = {
    Entry("lo", "127.0.0.1", "255.0.0.0", kInterfaceUp | kInterfaceLoopback),
    Entry("eth0", "192.168.1.10", "255.255.255.0"),
    Entry("lab0", "10.20.0.1", "255.255.0.0"),
    Entry("lab1", "10.20.30.1", "255.255.255.0"),
    Entry("down0", "172.16.0.1", "255.255.0.0", kInterfaceBroadcast),
};

TEST(LocalLinkTest, TheSubnetHoldingTheTargetChoosesTheInterface) {
    EXPECT_EQ(InterfaceTowards(kOwn, At("192.168.1.77"), "eth0"), "eth0");
    // Not the default route's interface when another one's subnet holds End Point 2.
    EXPECT_EQ(InterfaceTowards(kOwn, At("10.20.99.4"), "eth0"), "lab0");
    // Of two subnets holding it, the narrower, whatever the system's order.
    EXPECT_EQ(InterfaceTowards(kOwn, At("10.20.30.40"), "eth0"), "lab1");
    std::vector<InterfaceAddress> reversed(kOwn.rbegin(), kOwn.rend());
    EXPECT_EQ(InterfaceTowards(reversed, At("10.20.30.40"), "eth0"), "lab1");
    EXPECT_EQ(InterfaceTowards(kOwn, At("127.0.0.1"), "eth0"), "lo");
    // This machine's own address is reached through its own interface.
    EXPECT_EQ(InterfaceTowards(kOwn, At("10.20.30.1"), std::nullopt), "lab1");
}

TEST(LocalLinkTest, BeyondEverySubnetTheDefaultRouteIfItIsUp) {
    EXPECT_EQ(InterfaceTowards(kOwn, At("8.8.8.8"), "eth0"), "eth0");
    EXPECT_EQ(InterfaceTowards(kOwn, At("8.8.8.8"), std::nullopt), std::nullopt);
    // An interface that is down reaches nothing, not even as the default route.
    EXPECT_EQ(InterfaceTowards(kOwn, At("172.16.5.5"), "eth0"), "eth0");
    EXPECT_EQ(InterfaceTowards(kOwn, At("8.8.8.8"), "down0"), std::nullopt);
    EXPECT_EQ(InterfaceTowards(kOwn, At("8.8.8.8"), "gone0"), std::nullopt);
    EXPECT_EQ(InterfaceTowards({}, At("192.168.1.77"), "eth0"), std::nullopt);
    // An address of 0.0.0.0 holds no subnet.
    EXPECT_EQ(InterfaceTowards({Entry("any0", "0.0.0.0", "0.0.0.0")}, At("10.0.0.1"), "eth0"),
              std::nullopt);
}

TEST(LocalLinkTest, LoopbackIsReachedAndTextsThatAreNoAddressAreNot) {
    // Every machine has lo up at 127.0.0.1/8; its figures are whatever the system says.
    const std::optional<LinkFacts> loopback = LinkTowards("127.0.0.1");
    ASSERT_TRUE(loopback.has_value());
    EXPECT_EQ(loopback->interfaceName, "lo");
    EXPECT_FALSE(loopback->wireless);
    EXPECT_EQ(LinkTowards("not an address"), std::nullopt);
    EXPECT_EQ(LinkTowards(""), std::nullopt);
}

}  // namespace
}  // namespace quarn::console
