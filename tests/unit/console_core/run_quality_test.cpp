#include "console/core/run_quality.h"

#include <gtest/gtest.h>

#include <chrono>

#include "console/core/event_loop.h"
#include "console/core/measurement_run.h"
#include "tests/unit/console_core/iperf_capture.h"
#include "tests/unit/console_core/recording_view.h"
#include "tests/unit/console_core/scripted_sessions.h"

namespace quarn::console {
namespace {

using namespace std::chrono_literals;

struct QualityRun {
    QualityRun() { run.SetStartDelay(0ms); }

    void AddPair(const std::string& endpoint2, bool active = true) {
        PairConfig pair;
        pair.endpoint1 = "198.18.0.30";
        pair.endpoint2 = endpoint2;
        const PairId id = data.AddPair(std::move(pair));
        data.table.SetActive({id}, active);
    }

    EventLoop loop;
    ConsoleData data;
    test::RecordingView view;
    test::FakeEnvironment environment;
    test::ScriptedSessionFactory sessions;
    MeasurementRun run{data, view, loop, sessions, environment};
};

// RTT from what the environment measured to each End Point 2, probed once however many
// pairs share it; a pair whose End Point 2 never answered has no figure.
TEST(RunQualityTest, PairsGetTheRttOfTheirEndPointTwo) {
    QualityRun q;
    q.AddPair("198.18.0.20");
    q.AddPair("198.18.0.21");
    q.AddPair("198.18.0.20");
    q.AddPair("198.18.0.22", /*active=*/false);
    RttRecord measured;
    measured.idleMs = {0.5, 0.3, 0.4};
    measured.loadedMs = {20, 40, 30, 25, 35};
    measured.lastMs = 35;
    q.environment.rtt["198.18.0.20"] = measured;
    q.environment.rtt["198.18.0.22"] = measured;  // inactive: not taken
    ASSERT_TRUE(q.run.Start());
    ASSERT_EQ(q.environment.rttTargets.size(), 1u);
    EXPECT_EQ(q.environment.rttTargets[0],
              (std::vector<std::string>{"198.18.0.20", "198.18.0.21"}));
    EXPECT_EQ(q.environment.rttLoadStartsIn, MeasurementRun::kLoadSettles);
    EXPECT_EQ(q.environment.rttStops, 0);

    q.run.Complete(false);
    EXPECT_EQ(q.environment.rttStops, 1);
    for (const int row : {1, 3}) {
        const PairQuality& quality = q.data.table[row].figures.quality;
        EXPECT_DOUBLE_EQ(quality.rttIdleMs.value_or(-1), 0.3) << row;
        EXPECT_DOUBLE_EQ(quality.rttLoadedMedianMs.value_or(-1), 30) << row;
        EXPECT_DOUBLE_EQ(quality.rttLoadedP95Ms.value_or(-1), 40) << row;
    }
    EXPECT_FALSE(q.data.table[2].figures.quality.rttIdleMs);  // never answered
    EXPECT_FALSE(q.data.table[4].figures.quality.rttIdleMs);
}

// A UDP run of real output: the loss of what arrived until the run ended.
TEST(RunQualityTest, UdpRunGetsLossFromItsLines) {
    QualityRun q;
    q.AddPair("198.18.0.20");
    q.data.settings.protocol = Protocol::Udp;
    q.data.settings.throughputText = "100";
    q.data.settings.durationText = "5";
    test::SessionScript script;
    script.lines = test::PlainCaptureLines("iperf-2.1.8-server-udp-100M-12s.txt");
    q.sessions.Script(1, script);
    ASSERT_TRUE(q.run.Start());
    ASSERT_TRUE(q.loop.RunUntil([&] { return !q.run.Measuring(); }, 10s));
    const PairQuality& quality = q.data.table[1].figures.quality;
    // Seven intervals (two warm-up seconds, five counted) arrived before the run ended.
    EXPECT_DOUBLE_EQ(quality.lossPercent.value_or(-1), 0.0);
    EXPECT_GT(quality.totalDatagrams, 8000 * 6);
    EXPECT_TRUE(quality.jitterAverageMs.has_value());
    EXPECT_EQ(q.data.table.All().figures.quality.totalDatagrams, quality.totalDatagrams);
    EXPECT_FALSE(quality.rttIdleMs);
}

}  // namespace
}  // namespace quarn::console
