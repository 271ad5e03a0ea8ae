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
        PairRecord pair;
        pair.endpoint1 = "198.18.0.30";
        pair.endpoint2 = endpoint2;
        const int row = data.AddPair(std::move(pair));
        data.table.SetActive({row}, active);
    }

    EventLoop loop;
    ConsoleData data;
    test::RecordingView view;
    test::FakeEnvironment environment;
    test::ScriptedSessionFactory sessions;
    MeasurementRun run{data, view, loop, sessions, environment};
};

// A UDP run of real output: loss from the lines, RTT from what the environment measured
// to each End Point 2, probed once however many pairs share it.
TEST(RunQualityTest, UdpRunGetsLossAndRttOfItsEndPoints) {
    QualityRun q;
    q.AddPair("198.18.0.20");
    q.AddPair("198.18.0.21");
    q.AddPair("198.18.0.20");
    q.AddPair("198.18.0.22", /*active=*/false);
    q.data.settings.udp = 1;
    q.data.settings.throughputText = "100";
    q.data.settings.durationText = "5";
    RttRecord measured;
    measured.idleMs = {0.5, 0.3, 0.4};
    measured.loadedMs = {20, 40, 30, 25, 35};
    measured.lastMs = 35;
    q.environment.rtt["198.18.0.20"] = measured;
    q.environment.rtt["198.18.0.22"] = measured;  // inactive: not taken
    const auto lines = test::PlainCaptureLines("iperf-2.1.8-server-udp-100M-12s.txt");
    for (int row = 1; row <= 3; ++row) {
        test::SessionScript script;
        script.lines = lines;
        q.sessions.Script(row, script);
    }
    ASSERT_TRUE(q.run.Start());
    ASSERT_TRUE(q.loop.RunUntil([&] { return q.run.Mode() == ConsoleMode::Idle; }, 10s));

    ASSERT_EQ(q.environment.rttTargets.size(), 1u);
    EXPECT_EQ(q.environment.rttTargets[0],
              (std::vector<std::string>{"198.18.0.20", "198.18.0.21"}));
    EXPECT_EQ(q.environment.rttLoadStartsIn, MeasurementRun::kLoadSettles);
    EXPECT_GE(q.environment.rttStops, 1);

    for (const int row : {1, 3}) {
        const PairQuality& quality = q.data.table[row].quality;
        EXPECT_DOUBLE_EQ(quality.rttIdleMs.value_or(-1), 0.3) << row;
        EXPECT_DOUBLE_EQ(quality.rttLoadedMedianMs.value_or(-1), 30) << row;
        EXPECT_DOUBLE_EQ(quality.rttLoadedP95Ms.value_or(-1), 40) << row;
        // The run ended on its seventh interval (two warm-up seconds, five counted); the
        // loss covers what arrived up to then.
        EXPECT_DOUBLE_EQ(quality.lossPercent.value_or(-1), 0.0) << row;
        EXPECT_GT(quality.totalDatagrams, 8000 * 6) << row;
        EXPECT_TRUE(quality.jitterAverageMs.has_value()) << row;
    }
    EXPECT_FALSE(q.data.table[2].quality.rttIdleMs);  // never answered
    EXPECT_TRUE(q.data.table[2].quality.lossPercent.has_value());
    EXPECT_FALSE(q.data.table[4].quality.rttIdleMs);
    EXPECT_EQ(q.data.table.All().quality.totalDatagrams,
              q.data.table[1].quality.totalDatagrams + q.data.table[2].quality.totalDatagrams +
                  q.data.table[3].quality.totalDatagrams);
}

}  // namespace
}  // namespace quarn::console
