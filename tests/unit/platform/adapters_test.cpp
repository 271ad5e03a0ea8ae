#include "platform/adapters.h"

#include <gtest/gtest.h>
#include <net/if.h>

#include "platform/socket.h"

namespace quarn::platform {
namespace {

uint32_t Ip(const char* text) {
    return ParseIpv4(text).value();
}

constexpr unsigned kUpBroadcast = IFF_UP | IFF_BROADCAST;

TEST(Adapters, SelectsFirstUsableAddressPerInterface) {
    const std::vector<InterfaceAddress> listed = {
        {"lo", IFF_UP | IFF_LOOPBACK, Ip("127.0.0.1"), Ip("255.0.0.0")},
        {"eth0", kUpBroadcast, Ip("198.18.1.10"), Ip("255.255.255.0")},
        {"eth0", kUpBroadcast, Ip("198.18.9.10"), Ip("255.255.255.0")},  // second address
        {"wlan0", kUpBroadcast, Ip("198.19.0.5"), Ip("255.255.0.0")},
        {"eth1", IFF_BROADCAST, Ip("198.18.2.10"), Ip("255.255.255.0")},  // down
        {"tun0", IFF_UP | IFF_POINTOPOINT, Ip("198.18.3.1"), Ip("255.255.255.255")},
        {"eth2", kUpBroadcast, Ip("0.0.0.0"), Ip("0.0.0.0")},  // not connected
        {"eth2", kUpBroadcast, Ip("198.18.4.1"), Ip("255.255.255.0")},
    };
    const std::vector<Adapter> adapters = SelectQualifying(listed);
    ASSERT_EQ(adapters.size(), 2u);
    EXPECT_EQ(adapters[0].name, "eth0");
    EXPECT_EQ(adapters[0].address, Ip("198.18.1.10"));
    EXPECT_EQ(adapters[0].broadcast, Ip("198.18.1.255"));
    EXPECT_EQ(adapters[1].name, "wlan0");
    EXPECT_EQ(adapters[1].broadcast, Ip("198.19.255.255"));
}

TEST(Adapters, LoopbackByName) {
    const std::vector<Adapter> named = AdaptersNamed({"lo", "no-such-interface"});
    ASSERT_EQ(named.size(), 1u);
    EXPECT_EQ(named[0].address, Ip("127.0.0.1"));
    EXPECT_EQ(named[0].broadcast, Ip("127.255.255.255"));
    for (const Adapter& adapter : QualifyingAdapters()) {
        EXPECT_NE(adapter.name, "lo");
    }
}

TEST(Adapters, DefaultRouteWithLowestMetric) {
    const char* table =
        "Iface\tDestination\tGateway \tFlags\tRefCnt\tUse\tMetric\tMask\t\tMTU\tWindow\tIRTT\n"
        "eth0\t00000000\t010112C6\t0003\t0\t0\t600\t00000000\t0\t0\t0\n"
        "eth0\t000112C6\t00000000\t0001\t0\t0\t0\t00FFFFFF\t0\t0\t0\n"
        "wlan0\t00000000\t010113C6\t0003\t0\t0\t100\t00000000\t0\t0\t0\n"
        "eth9\t00000000\t010114C6\t0002\t0\t0\t1\t00000000\t0\t0\t0\n"  // not up
        "broken line\n";
    EXPECT_EQ(DefaultRouteInterface(table), "wlan0");
    const char* noDefault =
        "Iface\tDestination\tGateway \tFlags\tRefCnt\tUse\tMetric\tMask\t\tMTU\tWindow\tIRTT\n"
        "eth0\t000112C6\t00000000\t0001\t0\t0\t0\t00FFFFFF\t0\t0\t0\n";
    EXPECT_FALSE(DefaultRouteInterface(noDefault));
    EXPECT_FALSE(DefaultRouteInterface(""));
}

}  // namespace
}  // namespace quarn::platform
