#include <gtest/gtest.h>

#include "address/ip_address.h"
#include "endpoint/agent/probe_rate_limit.h"
#include "endpoint/agent/source_slots.h"

namespace quarn::agent {
namespace {

IpAddress Address(const char* text) {
    const auto parsed = ParseIpAddress(text);
    EXPECT_TRUE(parsed) << text;
    return parsed.value_or(IpAddress());
}

TEST(SourceSlotsByBlock, AnIpv6HostCannotDodgeTheBoundByChangingItsInterfaceId) {
    SourceSlots slots(2);
    auto first = slots.TryTake(Address("fd00:77::2"));
    auto second = slots.TryTake(Address("fd00:77::ffff:1"));
    ASSERT_TRUE(first);
    ASSERT_TRUE(second);
    EXPECT_FALSE(slots.TryTake(Address("fd00:77:0:0:1234:5678:9abc:def0")));
    EXPECT_EQ(slots.Held(Address("fd00:77::99")), 2);
    // The next /64 and IPv4 sources have bounds of their own.
    EXPECT_TRUE(slots.TryTake(Address("fd00:77:0:1::2")));
    EXPECT_TRUE(slots.TryTake(0xC612000Du));
    // A freed slot is given back to the block, whichever address took it.
    second = SourceSlots::Slot();
    EXPECT_EQ(slots.Held(Address("fd00:77::2")), 1);
    EXPECT_TRUE(slots.TryTake(Address("fd00:77::3")));
}

TEST(SourceSlotsByBlock, LinkLocalHostsAndMappedSourcesCountAsThemselves) {
    SourceSlots slots(1);
    auto a = slots.TryTake(Address("fe80::1%veth0"));
    ASSERT_TRUE(a);
    EXPECT_TRUE(slots.TryTake(Address("fe80::2%veth0")));
    EXPECT_FALSE(slots.TryTake(Address("fe80::1%veth0")));
    auto v4 = slots.TryTake(0xC612000Du);
    ASSERT_TRUE(v4);
    // A dual-stack socket reports the same IPv4 host as a mapped address.
    EXPECT_FALSE(slots.TryTake(Address("::ffff:198.18.0.13")));
}

TEST(ProbeRateLimitByBlock, ProbesFromOneSlash64ShareOneBucket) {
    ProbeRateLimit::Limits limits;
    limits.perSourceBurst = 3;
    limits.perSourcePerSecond = 1;
    ProbeRateLimit limit(limits);
    const auto now = ProbeRateLimit::Clock::now();
    for (const char* source : {"fd00:77::2", "fd00:77::3", "fd00:77::4"}) {
        EXPECT_TRUE(limit.Allow(Address(source), now)) << source;
    }
    EXPECT_FALSE(limit.Allow(Address("fd00:77::5"), now));
    EXPECT_TRUE(limit.Allow(Address("fd00:78::5"), now));
    EXPECT_TRUE(limit.Allow(Address("fe80::5%veth0"), now));
    EXPECT_TRUE(limit.Allow(Address("fd00:77::5"), now + std::chrono::seconds(1)));
}

}  // namespace
}  // namespace quarn::agent
