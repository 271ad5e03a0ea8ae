#include "console/ui/pair_tooltip.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "console/core/pair_record.h"

namespace quarn::console::ui {
namespace {

const std::string kDash = kNoFigureText;

PairQuality MeasuredUdp() {
    PairQuality q;
    q.lostDatagrams = 127;
    q.totalDatagrams = 16223;
    q.lossPercent = 100.0 * 127 / 16223;
    q.jitterAverageMs = 0.15;
    q.jitterMaxMs = 0.4204;
    q.rttIdleMs = 0.31;
    q.rttLoadedMedianMs = 25.3;
    q.rttLoadedP95Ms = 31.0;
    return q;
}

TEST(PairTooltipTest, UdpPairShowsLossJitterAndRoundTrips) {
    const std::vector<std::string> lines = PairFigureLines(MeasuredUdp(), /*udp=*/true);
    const std::vector<std::string> expected = {
        "Loss: 0.78 % (127 of 16223 datagrams)",
        "Jitter: 0.150 ms average, 0.420 ms max",
        "RTT idle: 0.31 ms",
        "RTT load: 25.30 ms median, 31.00 ms 95th percentile",
        "RTT increase: +24.99 ms",
    };
    EXPECT_EQ(lines, expected);
    EXPECT_EQ(PairFiguresSummary(MeasuredUdp(), true),
              "Loss 0.78 %   Jitter 0.150 ms   RTT idle 0.31 ms   RTT load 25.30 ms (+24.99 ms)");
}

// TCP has no datagrams to lose: its figures are the round trips only, whatever is stored.
TEST(PairTooltipTest, TcpPairShowsRoundTripsOnly) {
    const std::vector<std::string> lines = PairFigureLines(MeasuredUdp(), /*udp=*/false);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], "RTT idle: 0.31 ms");
    for (const std::string& line : lines) {
        EXPECT_EQ(line.find("Loss"), std::string::npos) << line;
        EXPECT_EQ(line.find("Jitter"), std::string::npos) << line;
    }
    EXPECT_EQ(PairFiguresSummary(MeasuredUdp(), false),
              "RTT idle 0.31 ms   RTT load 25.30 ms (+24.99 ms)");
}

// End Point 2 never answered and nothing was counted: dashes, never a zero.
TEST(PairTooltipTest, MissingFiguresAreDashesAndLostProbesAreCounted) {
    PairQuality silent;
    silent.probesLost = 4;
    const std::vector<std::string> expected = {
        "Loss: " + kDash,     "Jitter: " + kDash,       "RTT idle: " + kDash,
        "RTT load: " + kDash, "RTT increase: " + kDash, "Probes lost: 4",
    };
    EXPECT_EQ(PairFigureLines(silent, true), expected);
    EXPECT_EQ(
        PairFiguresSummary(silent, true),
        "Loss " + kDash + "   Jitter " + kDash + "   RTT idle " + kDash + "   RTT load " + kDash);

    // Idle replies but none under load; a jitter that is not a number is no figure.
    PairQuality partial;
    partial.rttIdleMs = 1.5;
    partial.jitterAverageMs = std::numeric_limits<double>::quiet_NaN();
    const std::vector<std::string> lines = PairFigureLines(partial, true);
    EXPECT_EQ(lines[1], "Jitter: " + kDash + " average, " + kDash + " max");
    EXPECT_EQ(lines[2], "RTT idle: 1.50 ms");
    EXPECT_EQ(lines[3], "RTT load: " + kDash);
    EXPECT_EQ(lines[4], "RTT increase: " + kDash);

    // A queue can only add: a faster loaded median is no increase, not a negative one.
    PairQuality faster = MeasuredUdp();
    faster.rttLoadedMedianMs = 0.21;
    EXPECT_EQ(PairFigureLines(faster, false)[2],
              "RTT increase: none within the measurement's noise");
    EXPECT_EQ(PairFiguresSummary(faster, false).substr(PairFiguresSummary(faster, false).find('(')),
              "(no increase)");
    faster.rttLoadedMedianMs = faster.rttIdleMs;
    EXPECT_EQ(PairFigureLines(faster, false)[2], "RTT increase: +0.00 ms");
}

TEST(PairTooltipTest, RowTooltipFollowsThePairsProtocol) {
    PairRecord pair;
    pair.figures.quality.rttIdleMs = 2.0;
    EXPECT_FALSE(ShowsUdpFigures(pair));
    EXPECT_EQ(PairTooltipText(pair),
              "RTT idle: 2.00 ms\nRTT load: " + kDash + "\nRTT increase: " + kDash);
    pair.run.protocol = Protocol::Udp;
    EXPECT_EQ(PairTooltipText(pair).rfind("Loss: " + kDash + "\nJitter: ", 0), 0u);
    // A run opened from a file has no protocol of its own but keeps its loss.
    PairRecord opened;
    opened.figures.quality.lossPercent = 66.5;
    EXPECT_TRUE(ShowsUdpFigures(opened));
}

}  // namespace
}  // namespace quarn::console::ui
