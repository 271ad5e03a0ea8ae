#include <gtest/gtest.h>

#include <random>

#include "console/core/run_quality.h"
#include "console/net/rtt_probe_schedule.h"
#include "endpoint/agent/probe_rate_limit.h"

namespace quarn::console {
namespace {

using Clock = RttProbeSchedule::Clock;
using std::chrono::milliseconds;

const IpAddress kFirst = IpAddress::V4(0xC6120002);   // 198.18.0.2
const IpAddress kSecond = IpAddress::V4(0xC6120003);  // 198.18.0.3
const Clock::time_point kStart = Clock::time_point() + std::chrono::hours(1);

TEST(RttStatisticsTest, MedianPercentileAndFigures) {
    EXPECT_FALSE(Median({}));
    EXPECT_FALSE(Percentile({}, 95));
    EXPECT_DOUBLE_EQ(*Median({5, 1, 3}), 3);
    EXPECT_DOUBLE_EQ(*Median({4, 1, 3, 2}), 2.5);
    std::vector<double> hundred;
    for (int i = 100; i >= 1; --i) {
        hundred.push_back(i);
    }
    EXPECT_DOUBLE_EQ(*Percentile(hundred, 95), 95);
    EXPECT_DOUBLE_EQ(*Percentile(hundred, 100), 100);
    EXPECT_DOUBLE_EQ(*Percentile({7}, 95), 7);
    EXPECT_DOUBLE_EQ(*Percentile({1, 2}, 0), 1);

    RttRecord record;
    record.idleMs = {0.9, 0.4, 0.6};
    record.loadedMs = {30, 10, 20, 25};
    record.loadedLost = 2;
    record.lastMs = 25;
    PairQuality quality;
    ApplyRtt(record, quality);
    EXPECT_DOUBLE_EQ(quality.rttIdleMs.value_or(-1), 0.4);  // the fastest: queues only add
    EXPECT_DOUBLE_EQ(quality.rttLoadedMedianMs.value_or(-1), 22.5);
    EXPECT_DOUBLE_EQ(quality.rttLoadedP95Ms.value_or(-1), 30);
    EXPECT_DOUBLE_EQ(quality.RttIncreaseMs().value_or(-1), 22.1);
    EXPECT_EQ(quality.probesLost, 2);

    // Never answered: no figure at all, not 0.
    RttRecord silent;
    silent.idleLost = 3;
    silent.loadedLost = 9;
    ApplyRtt(silent, quality);
    EXPECT_FALSE(quality.rttIdleMs || quality.rttLoadedMedianMs || quality.rttLoadedP95Ms ||
                 quality.RttIncreaseMs() || quality.lastRttMs);
    EXPECT_EQ(quality.probesLost, 12);
    ApplyRtt(std::nullopt, quality);
    EXPECT_FALSE(quality.rttIdleMs);
    EXPECT_EQ(quality.probesLost, 0);
}

TEST(RttScheduleTest, IdleProbesGoBackToBackThenOneASecond) {
    RttProbeSchedule schedule({kFirst, kFirst}, {}, kStart);  // one target however often named
    Clock::time_point now = kStart;
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(schedule.Due(now), std::vector<IpAddress>{kFirst}) << i;
        EXPECT_TRUE(schedule.Due(now).empty());  // one outstanding at a time
        now += milliseconds(2);
        EXPECT_TRUE(schedule.Reply(kFirst, now));
        EXPECT_FALSE(schedule.Reply(kFirst, now));  // a second adapter's reply
    }
    EXPECT_TRUE(schedule.Due(now).empty());
    EXPECT_EQ(schedule.NextEvent(now), kStart + milliseconds(3000));
    now = kStart + milliseconds(3000);
    EXPECT_EQ(schedule.Due(now).size(), 1u);
    now += milliseconds(40);
    EXPECT_TRUE(schedule.Reply(kFirst, now));
    EXPECT_TRUE(schedule.Due(now + milliseconds(900)).empty());
    EXPECT_EQ(schedule.Due(now + milliseconds(960)).size(), 1u);

    const RttRecord record = *schedule.Record(kFirst);
    ASSERT_EQ(record.idleMs.size(), 3u);
    EXPECT_DOUBLE_EQ(record.idleMs[0], 2.0);
    ASSERT_EQ(record.loadedMs.size(), 1u);
    EXPECT_DOUBLE_EQ(record.loadedMs[0], 40.0);
    EXPECT_DOUBLE_EQ(record.lastMs.value_or(-1), 40.0);
    EXPECT_EQ(schedule.Sent(kFirst), 5);
    EXPECT_TRUE(schedule.Record(kFirst, false)->loadedMs.empty());
    EXPECT_FALSE(schedule.Record(kSecond));
}

// An IPv6 End Point 2 is a target of its own; only its own address answers for it.
TEST(RttScheduleTest, Ipv6TargetsAreMatchedByTheirWholeAddress) {
    const IpAddress six = *ParseIpAddress("fd00:77::2");
    RttProbeSchedule schedule({kFirst, six, six}, {}, kStart);
    EXPECT_EQ(schedule.Due(kStart).size(), 2u);
    EXPECT_FALSE(schedule.Reply(*ParseIpAddress("fd00:77::3"), kStart + milliseconds(2)));
    EXPECT_FALSE(schedule.Reply(*ParseIpAddress("::ffff:198.18.0.2"), kStart + milliseconds(2)));
    EXPECT_TRUE(schedule.Reply(six, kStart + milliseconds(4)));
    EXPECT_EQ(schedule.Record(six)->idleMs, std::vector<double>{4.0});
    EXPECT_TRUE(schedule.Record(kFirst)->idleMs.empty());
}

TEST(RttScheduleTest, LateRepliesAreLostProbesAndOtherSourcesAreNoReplies) {
    RttProbeSchedule schedule({kFirst, kSecond}, {}, kStart);
    EXPECT_EQ(schedule.Due(kStart).size(), 2u);
    EXPECT_FALSE(schedule.Reply(IpAddress::V4(0x7F000001), kStart + milliseconds(1)));
    EXPECT_TRUE(schedule.Reply(kSecond, kStart + milliseconds(1)));
    // Exactly one second without a reply: lost, and the late reply answers nothing.
    EXPECT_FALSE(schedule.Reply(kFirst, kStart + milliseconds(1000)));
    const RttRecord first = *schedule.Record(kFirst);
    EXPECT_TRUE(first.idleMs.empty());
    EXPECT_EQ(first.idleLost, 1);
    // Past the idle window the second idle probe is not sent any more.
    EXPECT_EQ(schedule.Due(kStart + milliseconds(1600)).size(), 0u);
    EXPECT_EQ(schedule.Record(kSecond)->idleMs.size(), 1u);
    // Loaded probes that get no reply are counted as loaded losses.
    EXPECT_EQ(schedule.Due(kStart + milliseconds(3000)).size(), 2u);
    EXPECT_EQ(schedule.Due(kStart + milliseconds(4000)).size(), 2u);
    EXPECT_EQ(schedule.Record(kFirst)->loadedLost, 1);
    EXPECT_EQ(schedule.Record(kSecond)->loadedLost, 1);
}

// A long run against the EndPoint's own limiter, right after a search took three of the
// source's tokens, with replies of any delay: no probe may be refused.
TEST(RttScheduleTest, StaysWithinTheEndPointsReplyLimit) {
    agent::ProbeRateLimit limit;
    const IpAddress console = IpAddress::V4(0xC612000B);
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(limit.Allow(console, kStart - milliseconds(10)));
    }
    RttProbeSchedule schedule({kFirst}, {}, kStart);
    std::mt19937 random(7);
    std::uniform_int_distribution<int> delayMs(0, 1200);  // beyond 1 s: lost
    std::uniform_int_distribution<int> pollMs(1, 100);
    Clock::time_point now = kStart;
    constexpr Clock::time_point kNoReply = Clock::time_point::max();
    Clock::time_point replyAt = kNoReply;
    int sent = 0;
    while (now < kStart + std::chrono::minutes(10)) {
        for (const IpAddress& target : schedule.Due(now)) {
            ASSERT_EQ(target, kFirst);
            ASSERT_TRUE(limit.Allow(console, now)) << "probe " << sent << " refused";
            ++sent;
            replyAt = now + milliseconds(delayMs(random));
        }
        const Clock::time_point next =
            std::min(schedule.NextEvent(now), now + milliseconds(pollMs(random)));
        if (replyAt <= next) {
            schedule.Reply(kFirst, replyAt);
            now = replyAt;
            replyAt = kNoReply;
        } else {
            now = std::max(next, now + milliseconds(1));
        }
    }
    EXPECT_GT(sent, 500);  // still about one a second
    const RttRecord record = *schedule.Record(kFirst);
    EXPECT_EQ(static_cast<int>(record.idleMs.size() + record.loadedMs.size()) + record.idleLost +
                  record.loadedLost,
              sent - (replyAt != kNoReply ? 1 : 0));
}

TEST(RttTargetsTest, EachActiveEndPointTwoOnce) {
    PairTable table;
    for (const char* endpoint2 : {"198.18.0.2", "198.18.0.3", "198.18.0.2", "198.18.0.4"}) {
        PairRecord pair;
        pair.config.endpoint2 = endpoint2;
        pair.config.active = std::string(endpoint2) != "198.18.0.4";
        table.AppendPair(pair);
    }
    EXPECT_EQ(RttProbeTargets(table), (std::vector<std::string>{"198.18.0.2", "198.18.0.3"}));
}

}  // namespace
}  // namespace quarn::console
