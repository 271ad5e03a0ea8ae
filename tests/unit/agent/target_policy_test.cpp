#include "endpoint/agent/target_policy.h"

#include <gtest/gtest.h>

#include <chrono>

#include "endpoint/agent/agent_config.h"

namespace quarn::agent {
namespace {

using platform::InterfaceAddress;

const std::vector<InterfaceAddress> kOwn = {
    {"lo", platform::kInterfaceUp | platform::kInterfaceLoopback, 0x7F000001, 0xFF000000},
    {"eth0", platform::kInterfaceUp | platform::kInterfaceBroadcast, 0xC612000B, 0xFFFFFF00},
    {"eth0", platform::kInterfaceUp | platform::kInterfaceBroadcast, 0xC612004D, 0xFFFFFF00},
    {"wg0", platform::kInterfaceUp, 0x0A000001, 0xFFFFFFFF},  // a /32 tunnel
    {"p2p", platform::kInterfaceUp, 0x0A010002, 0xFFFFFFFE},  // a /31 link
};

// An EndPoint told to measure toward itself or its whole subnet floods itself or everyone.
TEST(TargetAllowed, NeverThisHostNorItsSubnetsBroadcast) {
    for (const uint32_t own :
         {0xC612000Bu, 0xC612004Du, 0x0A000001u, 0x0A010002u, 0xC61200FFu, 0xC6120000u}) {
        EXPECT_FALSE(TargetAllowed(own, kOwn, false)) << std::hex << own;
    }
    for (const uint32_t peer : {0xC612000Cu, 0xC61200FEu, 0x0A000002u, 0x0A010003u, 0x0A0100FFu}) {
        EXPECT_TRUE(TargetAllowed(peer, kOwn, false)) << std::hex << peer;
    }
}

TEST(TargetAllowed, LoopbackOnlyWhenAllowed) {
    EXPECT_FALSE(TargetAllowed(0x7F000001, kOwn, false));
    EXPECT_FALSE(TargetAllowed(0x7F123456, {}, false));
    EXPECT_TRUE(TargetAllowed(0x7F000001, kOwn, true));
    // Allowing loopback does not open the host's other addresses.
    EXPECT_FALSE(TargetAllowed(0xC612000B, kOwn, true));
}

TEST(StalledPeerLimitFrom, OnlyShortensAndOnlyForWholeMilliseconds) {
    using std::chrono::milliseconds;
    EXPECT_EQ(StalledPeerLimitFrom(nullptr), kStalledPeerLimit);
    EXPECT_EQ(kStalledPeerLimit, milliseconds(30000));
    EXPECT_EQ(StalledPeerLimitFrom("2500"), milliseconds(2500));
    EXPECT_EQ(StalledPeerLimitFrom("1"), milliseconds(1));
    for (const char* ignored : {"", "0", "-5", "30000", "999999999999", "12ms", " 5", "1e3"}) {
        EXPECT_EQ(StalledPeerLimitFrom(ignored), kStalledPeerLimit) << ignored;
    }
}

// The same for IPv6: none of this host's addresses, loopback only where tests allow it.
TEST(TargetAllowed6, NeverThisHostItself) {
    const auto v6 = [](const char* text) { return *ParseIpAddress(text); };
    const std::vector<platform::Interface6Address> own = {
        {"eth0", 2, platform::kInterfaceUp, v6("fd00:77::11")},
        {"eth0", 2, platform::kInterfaceUp, v6("fe80::77:11")},
    };
    EXPECT_FALSE(TargetAllowed6(v6("fd00:77::11"), own, false));
    EXPECT_FALSE(TargetAllowed6(v6("fd00:77:0::11"), own, true));
    EXPECT_TRUE(TargetAllowed6(v6("fd00:77::12"), own, false));
    EXPECT_FALSE(TargetAllowed6(v6("::1"), own, false));
    EXPECT_TRUE(TargetAllowed6(v6("::1"), own, true));
}

}  // namespace
}  // namespace quarn::agent
