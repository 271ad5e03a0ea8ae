#include "endpoint/agent/probe_rate_limit.h"

#include <gtest/gtest.h>

#include "endpoint/agent/discovery_responder.h"

namespace quarn::agent {
namespace {

using std::chrono::milliseconds;
using Clock = ProbeRateLimit::Clock;

constexpr uint32_t kConsole = 0xC612000D;  // 198.18.0.13

// Three probes a second apart, as a Console's search sends them; the answered count.
int Search(ProbeRateLimit& limit, uint32_t source, Clock::time_point& now) {
    int answered = 0;
    for (int probe = 0; probe < 3; ++probe) {
        answered += limit.Allow(source, now) ? 1 : 0;
        now += milliseconds(1000);
    }
    return answered;
}

TEST(ProbeRateLimit, SearchesAreAnsweredInFullAlsoManyAtOnceAndBackToBack) {
    ProbeRateLimit limit;
    Clock::time_point now = Clock::now();
    EXPECT_EQ(Search(limit, kConsole, now), 3);
    EXPECT_EQ(Search(limit, kConsole, now), 3);  // the operator searches again at once
    EXPECT_EQ(Search(limit, kConsole, now), 3);

    // Ten Consoles searching at the same time, probe for probe.
    int answered = 0;
    for (int probe = 0; probe < 3; ++probe) {
        for (uint32_t console = 1; console <= 10; ++console) {
            answered += limit.Allow(0xC6120100 + console, now) ? 1 : 0;
        }
        now += milliseconds(1000);
    }
    EXPECT_EQ(answered, 30);
}

// Every 5-byte probe was answered with a reply per adapter, however fast they came.
TEST(ProbeRateLimit, AFloodIsAnsweredOnlyAtTheRefillRate) {
    ProbeRateLimit limit;
    Clock::time_point now = Clock::now();
    int answered = 0;
    for (int probe = 0; probe < 10000; ++probe) {  // 10 s at 1000 probes a second
        answered += limit.Allow(kConsole, now) ? 1 : 0;
        now += milliseconds(1);
    }
    EXPECT_LE(answered, 6 + 10);  // the burst and one a second
    EXPECT_GE(answered, 6);

    // Spoofed sources, each new: only the shared bucket holds them back.
    ProbeRateLimit spoofed;
    answered = 0;
    for (uint32_t probe = 0; probe < 10000; ++probe) {
        answered += spoofed.Allow(probe, now) ? 1 : 0;
        now += milliseconds(1);
    }
    EXPECT_LE(answered, 64 + 16 * 10 + 1);
    EXPECT_GE(answered, 64);
}

TEST(ProbeRateLimit, RemembersABoundedNumberOfSources) {
    ProbeRateLimit::Limits limits;
    limits.maxSources = 4;
    limits.totalBurst = 1000;
    ProbeRateLimit limit(limits);
    Clock::time_point now = Clock::now();
    for (uint32_t source = 1; source <= 4; ++source) {
        EXPECT_TRUE(limit.Allow(source, now));
    }
    EXPECT_FALSE(limit.Allow(5, now));  // table full, nobody refilled yet
    now += milliseconds(1000);
    EXPECT_TRUE(limit.Allow(5, now));  // the others are full again and forgotten
}

// The Console's three copies of "restart" end the iperf processes once; a flood from one
// source or from many acts a few times a second at most.
TEST(RestartLimits, ThreeCopiesActOnceAndFloodsStayRare) {
    ProbeRateLimit limit(kRestartLimits);
    Clock::time_point now = Clock::now();
    int acted = 0;
    for (int copy = 0; copy < 3; ++copy) {
        acted += limit.Allow(kConsole, now) ? 1 : 0;
    }
    EXPECT_EQ(acted, 1);
    now += milliseconds(1000);
    EXPECT_TRUE(limit.Allow(kConsole, now));  // the next run's restart, a second later
    EXPECT_FALSE(limit.Allow(kConsole, now + milliseconds(500)));

    now += milliseconds(10000);
    acted = 0;
    for (int copy = 0; copy < 10000; ++copy) {
        acted += limit.Allow(0x0A000000 + static_cast<uint32_t>(copy), now) ? 1 : 0;
    }
    EXPECT_EQ(acted, 8);  // the shared burst
    acted = 0;
    for (int second = 0; second < 10; ++second) {
        now += milliseconds(1000);
        for (int copy = 0; copy < 1000; ++copy) {
            acted += limit.Allow(0x0B000000 + static_cast<uint32_t>(copy), now) ? 1 : 0;
        }
    }
    EXPECT_LE(acted, 40 + 1);
}

}  // namespace
}  // namespace quarn::agent
