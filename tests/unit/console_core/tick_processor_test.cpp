#include "console/core/tick_processor.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "tests/unit/console_core/iperf_capture.h"
#include "tests/unit/console_core/recording_view.h"

namespace quarn::console {
namespace {

using test::PlainCaptureLines;
using test::RateLines;
using test::ServerLines;

class TickProcessorTest : public ::testing::Test {
  protected:
    void SetUpRun(int pairs, int duration, bool udp = false, int parallel = 1) {
        for (int i = 0; i < pairs; ++i) {
            PairRecord pair;
            pair.config.endpoint1 = "198.18.0.10";
            pair.config.endpoint2 = "198.18.0.11";
            pair.config.parallel = parallel;
            data.table.AppendPair(std::move(pair));
        }
        data.chart.BeginRun(pairs);
        ticks.BeginRun(std::chrono::seconds(duration), udp);
    }

    std::vector<LineOutcome> Feed(int row, const std::vector<std::string>& lines) {
        std::vector<LineOutcome> outcomes;
        for (const std::string& line : lines) {
            outcomes.push_back(ticks.HandleLine(row, line));
        }
        return outcomes;
    }

    static std::size_t CountedLines(const PairLog& log) {
        std::size_t counted = 0;
        for (std::size_t i = 0; i < log.Size(); ++i) {
            counted += log.Counted(i) ? 1 : 0;
        }
        return counted;
    }

    ConsoleData data;
    test::RecordingView view;
    TickProcessor ticks{data, view};
};

TEST_F(TickProcessorTest, SinglePairOfRealTcpOutput) {
    SetUpRun(1, 60);
    const auto lines = PlainCaptureLines("iperf-2.1.8-server-tcp-12s.txt");
    const auto outcomes = Feed(1, lines);

    std::vector<LineOutcome> rateOutcomes;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].find("Mbits/sec") != std::string::npos) {
            rateOutcomes.push_back(outcomes[i]);
        } else {
            EXPECT_EQ(outcomes[i], LineOutcome::Logged) << lines[i];
        }
    }
    ASSERT_EQ(rateOutcomes.size(), 13u);
    EXPECT_EQ(rateOutcomes[0], LineOutcome::TickDiscarded);
    EXPECT_EQ(rateOutcomes[1], LineOutcome::TickDiscarded);
    for (std::size_t i = 2; i < 12; ++i) {
        EXPECT_EQ(rateOutcomes[i], LineOutcome::TickProcessed) << i;
    }
    // The run's total (0.0000-11.9990) is logged but is no sample.
    EXPECT_EQ(rateOutcomes[12], LineOutcome::TotalDropped);

    const PairRecord& pair = data.table[1];
    const PairRecord& all = data.table.All();
    EXPECT_EQ(ticks.Ticks(), 10);
    EXPECT_EQ(ticks.WarmupTicks(), 2);
    EXPECT_EQ(pair.figures.countText, "10");
    EXPECT_EQ(pair.figures.currentText, "24121.00");
    EXPECT_EQ(pair.figures.maxText, "28443.00");
    EXPECT_EQ(pair.figures.minText, "19711.00");
    EXPECT_EQ(pair.figures.averageText, "24464.50");
    EXPECT_EQ(all.figures.countText, "10");
    EXPECT_EQ(all.figures.currentText, "24121.00");
    EXPECT_FLOAT_EQ(all.figures.peakSingle, 28443.0f);
    EXPECT_EQ(data.logs.Of(pair.id).Size(), lines.size());
    EXPECT_EQ(CountedLines(data.logs.Of(pair.id)), 10u);
    EXPECT_EQ(view.lastTicks, 10);
    ASSERT_EQ(data.chart.Series().size(), 2u);
    EXPECT_EQ(data.chart.Series()[0].size(), 10u);
    EXPECT_EQ(data.chart.Series()[1].size(), 10u);
    EXPECT_FLOAT_EQ(data.chart.Series()[1].front().value, 19711.0f);
}

// Every iperf 2 format of the final total must be dropped once samples were taken.
TEST_F(TickProcessorTest, FinalTotalIsDroppedInEveryFormat) {
    struct Capture {
        const char* file;
        float lastSample;
    };
    const Capture captures[] = {
        {"iperf-2.0.13-ABCD.txt", 25171.0f},  // "[  4]  0.0- 3.0 sec"
        {"iperf-2.1.8-ABCD.txt", 22623.0f},   // "[  1] 0.0000-3.0005 sec"
        {"iperf-2.2.1-ABCD.txt", 23333.0f},   // "[  1] 0.00-3.00 sec"
    };
    for (const Capture& capture : captures) {
        ConsoleData fresh;
        TickProcessor processor(fresh, view);
        PairRecord pair;
        fresh.table.AppendPair(pair);
        fresh.chart.BeginRun(1);
        processor.BeginRun(std::chrono::seconds(60), false);
        const auto rates = RateLines(ServerLines(capture.file, "TCP -t 3"));
        ASSERT_GE(rates.size(), 4u) << capture.file;
        std::vector<LineOutcome> outcomes;
        for (const std::string& line : rates) {
            outcomes.push_back(processor.HandleLine(1, line));
        }
        EXPECT_EQ(outcomes.back(), LineOutcome::TotalDropped) << capture.file;
        EXPECT_EQ(processor.Ticks(), static_cast<int>(rates.size()) - 3) << capture.file;
        EXPECT_FLOAT_EQ(fresh.table[1].figures.current, capture.lastSample) << capture.file;
    }
}

TEST_F(TickProcessorTest, ParallelTcpTakesOnlySumLines) {
    SetUpRun(1, 60, false, 4);
    const auto lines = PlainCaptureLines("iperf-2.1.8-server-tcp-P4-12s.txt");
    const auto outcomes = Feed(1, lines);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].find("[SUM]") == std::string::npos) {
            EXPECT_EQ(outcomes[i], LineOutcome::Logged) << lines[i];
        }
    }
    // 12 sum intervals, two of them warm-up; the sum's total is dropped.
    EXPECT_EQ(ticks.Ticks(), 10);
    EXPECT_EQ(outcomes.back(), LineOutcome::TotalDropped);
    EXPECT_EQ(data.table[1].figures.currentText, "54395.00");
    EXPECT_EQ(data.table[1].figures.maxText, "58128.00");
}

TEST_F(TickProcessorTest, UdpReadsTheRateNotTheJitterOrLossColumns) {
    SetUpRun(1, 60, true);
    const auto outcomes = Feed(1, PlainCaptureLines("iperf-2.1.8-server-udp-100M-12s.txt"));
    EXPECT_EQ(ticks.Ticks(), 10);
    EXPECT_EQ(outcomes.back(), LineOutcome::TotalDropped);
    EXPECT_EQ(data.table[1].figures.averageText, "100.00");
    EXPECT_EQ(data.table[1].figures.minText, "100.00");

    // With parallel UDP streams every stream line is a sample: one pair, one tick each.
    ConsoleData parallelData;
    TickProcessor parallelTicks(parallelData, view);
    PairRecord pair;
    pair.config.parallel = 2;
    parallelData.table.AppendPair(pair);
    parallelTicks.BeginRun(std::chrono::seconds(60), true);
    const auto rates = RateLines(ServerLines("iperf-2.0.13-ABCD.txt", "UDP -b 5M -P 2 -t 3"));
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(parallelTicks.HandleLine(1, rates[i]),
                  i < 2 ? LineOutcome::TickDiscarded : LineOutcome::TickProcessed);
    }
}

// Each processed second puts the pair's loss of that second and its latest round trip on
// the chart's quality curves; warm-up seconds put nothing there.
TEST_F(TickProcessorTest, ProcessedSecondsFeedTheQualityCurves) {
    SetUpRun(1, 60, true);
    for (int s = 0; s < 6; ++s) {
        // Second 4's probe went unanswered: no round trip to draw.
        data.table[1].figures.quality.lastRttMs =
            s == 4 ? std::nullopt : std::optional<double>(1.0 + s);
        char line[160];
        std::snprintf(line, sizeof line,
                      "[  1] %d.0000-%d.0000 sec  11.9 MBytes   100 Mbits/sec   0.010 ms "
                      "%d/1000 (%d%%)",
                      s, s + 1, 10 * s, s);
        ticks.HandleLine(1, line);
    }
    ASSERT_EQ(ticks.Ticks(), 4);
    const ChartSeries& loss = data.chart.SeriesOf(ChartMeasure::Loss)[1];
    const ChartSeries& rtt = data.chart.SeriesOf(ChartMeasure::Latency)[1];
    ASSERT_EQ(loss.size(), 4u);
    ASSERT_EQ(rtt.size(), 4u);
    for (int tick = 0; tick < 4; ++tick) {
        const int second = tick + ticks.kWarmupTicks;
        EXPECT_FLOAT_EQ(loss[static_cast<std::size_t>(tick)].value, static_cast<float>(second));
        if (second == 4) {
            EXPECT_LT(rtt[static_cast<std::size_t>(tick)].value, 0.0f);
        } else {
            EXPECT_FLOAT_EQ(rtt[static_cast<std::size_t>(tick)].value, 1.0f + second);
        }
    }

    // TCP has no loss: its curve holds only missing seconds.
    ConsoleData tcpData;
    TickProcessor tcpTicks(tcpData, view);
    tcpData.table.AppendPair(PairRecord{});
    tcpData.chart.BeginRun(1);
    tcpTicks.BeginRun(std::chrono::seconds(60), false);
    for (const std::string& line : PlainCaptureLines("iperf-2.1.8-server-tcp-12s.txt")) {
        tcpTicks.HandleLine(1, line);
    }
    const ChartSeries& tcpLoss = tcpData.chart.SeriesOf(ChartMeasure::Loss)[1];
    ASSERT_EQ(tcpLoss.size(), static_cast<std::size_t>(tcpTicks.Ticks()));
    ASSERT_FALSE(tcpLoss.empty());
    for (const ChartPoint& point : tcpLoss) {
        EXPECT_LT(point.value, 0.0f);
    }
}

TEST_F(TickProcessorTest, CrLfLinesAreLoggedWithoutCrAndStillCount) {
    SetUpRun(1, 60);
    for (const char* interval : {"0.0000-1.0000", "1.0000-2.0000", "2.0000-3.0000"}) {
        ticks.HandleLine(1,
                         std::string("[  1] ") + interval + " sec  3027 MBytes  25390 Mbits/sec\r");
    }
    EXPECT_EQ(ticks.Ticks(), 1);
    EXPECT_EQ(data.table[1].figures.currentText, "25390.00");
    EXPECT_EQ(data.logs.Of(data.table[1].id).Text(2),
              "[  1] 2.0000-3.0000 sec  3027 MBytes  25390 Mbits/sec");
}

TEST_F(TickProcessorTest, TwoPairsReportingOutOfOrder) {
    SetUpRun(2, 60);
    auto line = [](int second, int rate) {
        return "[  1] " + std::to_string(second) + ".0-" + std::to_string(second + 1) +
               ".0 sec  100 MBytes  " + std::to_string(rate) + " Mbits/sec";
    };
    // Warm-up: two complete ticks, pair 2 first in the second one.
    EXPECT_EQ(ticks.HandleLine(1, line(0, 1)), LineOutcome::SampleTaken);
    EXPECT_EQ(ticks.HandleLine(2, line(0, 2)), LineOutcome::TickDiscarded);
    EXPECT_EQ(ticks.HandleLine(2, line(1, 2)), LineOutcome::SampleTaken);
    EXPECT_EQ(ticks.HandleLine(1, line(1, 1)), LineOutcome::TickDiscarded);
    EXPECT_EQ(ticks.Ticks(), 0);

    EXPECT_EQ(ticks.HandleLine(2, line(2, 300)), LineOutcome::SampleTaken);
    EXPECT_EQ(ticks.HandleLine(1, line(2, 100)), LineOutcome::TickProcessed);
    const PairRecord& all = data.table.All();
    EXPECT_FLOAT_EQ(all.figures.sum, 400.0f);
    EXPECT_EQ(all.figures.count, 2);

    // A second line of pair 2 within the same tick replaces its value.
    EXPECT_EQ(ticks.HandleLine(2, line(3, 500)), LineOutcome::SampleTaken);
    EXPECT_EQ(ticks.HandleLine(2, line(3, 700)), LineOutcome::SampleTaken);
    EXPECT_EQ(ticks.HandleLine(1, line(3, 200)), LineOutcome::TickProcessed);
    EXPECT_FLOAT_EQ(all.figures.sum, 900.0f);
    EXPECT_EQ(all.figures.count, 4);
    EXPECT_EQ(all.figures.countText, "4");
    EXPECT_EQ(all.figures.maxText, "900.00");
    EXPECT_EQ(all.figures.minText, "400.00");
    // The All row's average is the sum of the pairs' averages: 150 + 500.
    EXPECT_EQ(all.figures.averageText, "650.00");
    EXPECT_EQ(data.table[2].figures.countText, "2");
    EXPECT_FLOAT_EQ(all.figures.peakSingle, 700.0f);
    const auto& series = data.chart.Series();
    EXPECT_FLOAT_EQ(series[0].back().value, 900.0f);
    EXPECT_FLOAT_EQ(series[2].back().value, 700.0f);
}

TEST_F(TickProcessorTest, InactiveRowKeepsItsSeriesNumber) {
    SetUpRun(3, 60);
    data.table.SetActive({data.table.IdAt(2)}, false);
    auto line = [](int second, int rate) {
        return "[  1] " + std::to_string(second) + ".0-" + std::to_string(second + 1) +
               ".0 sec  1 MBytes  " + std::to_string(rate) + " Mbits/sec";
    };
    for (int second = 0; second < 3; ++second) {
        ticks.HandleLine(1, line(second, 10));
        ticks.HandleLine(3, line(second, 30));
    }
    EXPECT_EQ(ticks.Ticks(), 1);
    const auto& series = data.chart.Series();
    ASSERT_EQ(series.size(), 4u);
    EXPECT_EQ(series[1].size(), 1u);
    EXPECT_TRUE(series[2].empty());
    ASSERT_EQ(series[3].size(), 1u);
    EXPECT_FLOAT_EQ(series[3][0].value, 30.0f);
    EXPECT_FLOAT_EQ(series[0][0].value, 40.0f);
    EXPECT_EQ(data.table[2].figures.countText, "0");
}

TEST_F(TickProcessorTest, DurationTenIsReachedOnTheTwelfthCompleteTick) {
    SetUpRun(1, 10);
    for (int second = 0; second < 12; ++second) {
        EXPECT_FALSE(ticks.DurationReached()) << second;
        ticks.HandleLine(1, "[  4] " + std::to_string(second) + ".0-" + std::to_string(second + 1) +
                                ".0 sec  1 MBytes  5 Mbits/sec");
    }
    EXPECT_TRUE(ticks.DurationReached());
    EXPECT_EQ(ticks.Ticks(), 10);
}

// Negative and absurd rates are logged but leave every figure alone, even when they
// arrive between a row's sample and the completion of its tick.
TEST_F(TickProcessorTest, ImpossibleRatesAreLoggedUncounted) {
    SetUpRun(2, 60);
    auto line = [](int second, const std::string& rate) {
        return "[  1] " + std::to_string(second) + ".0-" + std::to_string(second + 1) +
               ".0 sec  1 MBytes  " + rate + " Mbits/sec";
    };
    for (int second = 0; second < 2; ++second) {
        ticks.HandleLine(1, line(second, "10"));
        ticks.HandleLine(2, line(second, "20"));
    }
    for (int second = 2; second < 5; ++second) {
        EXPECT_EQ(ticks.HandleLine(1, line(second, "10")), LineOutcome::SampleTaken);
        EXPECT_EQ(ticks.HandleLine(1, line(second, "-5")), LineOutcome::Logged);
        EXPECT_EQ(ticks.HandleLine(2, line(second, "3.4e38")), LineOutcome::Logged);
        EXPECT_EQ(ticks.HandleLine(2, line(second, "20")), LineOutcome::TickProcessed);
    }
    const PairRecord& first = data.table[1];
    const PairRecord& second = data.table[2];
    const PairRecord& all = data.table.All();
    EXPECT_EQ(ticks.Ticks(), 3);
    EXPECT_EQ(first.figures.minText, "10.00");
    EXPECT_EQ(first.figures.averageText, "10.00");
    EXPECT_EQ(second.figures.maxText, "20.00");
    EXPECT_EQ(second.figures.averageText, "20.00");
    EXPECT_EQ(all.figures.averageText, "30.00");
    EXPECT_EQ(all.figures.maxText, "30.00");
    EXPECT_FLOAT_EQ(all.figures.peakSingle, 20.0f);
    // Per tick the sample line is counted, never the impossible one logged after it.
    ASSERT_EQ(data.logs.Of(first.id).Size(), 8u);
    for (std::size_t i = 2; i < 8; ++i) {
        EXPECT_EQ(data.logs.Of(first.id).Counted(i), i % 2 == 0) << data.logs.Of(first.id).Text(i);
        EXPECT_EQ(data.logs.Of(second.id).Counted(i), i % 2 == 1)
            << data.logs.Of(second.id).Text(i);
    }
}

// With two TCP streams each stream's line is only logged; a fault that took them as
// samples would complete the warm-up on the first second's stream lines.
TEST_F(TickProcessorTest, TwoTcpStreamsCountOnlyTheirSum) {
    SetUpRun(1, 60, false, 2);
    for (int second = 0; second < 3; ++second) {
        const std::string interval =
            std::to_string(second) + ".0000-" + std::to_string(second + 1) + ".0000 sec";
        EXPECT_EQ(ticks.HandleLine(1, "[  1] " + interval + "  100 MBytes  800 Mbits/sec"),
                  LineOutcome::Logged);
        EXPECT_EQ(ticks.HandleLine(1, "[  2] " + interval + "  50 MBytes  400 Mbits/sec"),
                  LineOutcome::Logged);
        EXPECT_EQ(ticks.HandleLine(1, "[SUM] " + interval + "  150 MBytes  1200 Mbits/sec"),
                  second < 2 ? LineOutcome::TickDiscarded : LineOutcome::TickProcessed);
    }
    EXPECT_EQ(ticks.Ticks(), 1);
    EXPECT_EQ(data.table[1].figures.currentText, "1200.00");
    EXPECT_EQ(CountedLines(data.logs.Of(data.table[1].id)), 1u);
    EXPECT_TRUE(data.logs.Of(data.table[1].id).Counted(8));
}

// A pair whose log reached its memory limit goes on measuring; its log ends in the one
// line that says later lines are dropped.
TEST_F(TickProcessorTest, FullLogDoesNotStopTheRun) {
    SetUpRun(1, 60);
    std::uint64_t state = 0x9E3779B97F4A7C15ull;
    std::string junk(1000, ' ');
    while (!data.logs.Of(data.table[1].id).Full()) {
        for (char& c : junk) {
            state ^= state << 13, state ^= state >> 7, state ^= state << 17;
            c = static_cast<char>('!' + state % 90);
        }
        ticks.HandleLine(1, junk);
    }
    const std::size_t logged = data.logs.Of(data.table[1].id).Size();
    EXPECT_EQ(data.logs.Of(data.table[1].id).Text(logged - 1), PairLog::kDroppedLine);
    for (int second = 0; second < 3; ++second) {
        ticks.HandleLine(1, "[  1] " + std::to_string(second) + ".0-" + std::to_string(second + 1) +
                                ".0 sec  1 MBytes  8 Mbits/sec");
    }
    EXPECT_EQ(ticks.Ticks(), 1);
    EXPECT_EQ(data.table[1].figures.currentText, "8.00");
    EXPECT_EQ(data.logs.Of(data.table[1].id).Size(), logged);
    EXPECT_EQ(CountedLines(data.logs.Of(data.table[1].id)), 0u);
}

TEST_F(TickProcessorTest, FailureLineMarksTheRowAndIsLogged) {
    SetUpRun(2, 60);
    EXPECT_EQ(ticks.HandleLine(2, "tcp connect failed: Connection refused"), LineOutcome::Failure);
    EXPECT_EQ(data.table[2].figures.state, PairState::Error);
    EXPECT_EQ(data.logs.Of(data.table[2].id).Size(), 1u);
    EXPECT_EQ(data.table[1].figures.state, PairState::Ready);
    // Rows outside the table are ignored, not logged anywhere.
    EXPECT_EQ(ticks.HandleLine(0, "failed"), LineOutcome::Logged);
    EXPECT_EQ(ticks.HandleLine(7, "failed"), LineOutcome::Logged);
    EXPECT_EQ(data.logs.Find(data.table.All().id), nullptr);
}

TEST_F(TickProcessorTest, ProcessedTickReportsEveryRowWhoseLineWasCounted) {
    SetUpRun(3, 60);
    data.table.SetActive({data.table.IdAt(2)}, false);
    auto line = [](int second) {
        return "[  1] " + std::to_string(second) + ".0-" + std::to_string(second + 1) +
               ".0 sec  1 MBytes  8 Mbits/sec";
    };
    for (int second = 0; second < 2; ++second) {
        ticks.HandleLine(1, line(second));
        ticks.HandleLine(3, line(second));
    }
    EXPECT_TRUE(view.logsCounted.empty());  // warm-up ticks count no line

    ticks.HandleLine(1, line(2));
    EXPECT_TRUE(view.logsCounted.empty());
    EXPECT_EQ(ticks.HandleLine(3, line(2)), LineOutcome::TickProcessed);
    // Row 1's line became counted although row 3's line completed the tick.
    ASSERT_EQ(view.logsCounted.size(), 1u);
    EXPECT_EQ(view.logsCounted[0], (std::vector<PairId>{data.table[1].id, data.table[3].id}));
    EXPECT_TRUE(data.logs.Of(data.table[1].id).Counted(2));
    EXPECT_TRUE(data.logs.Of(data.table[3].id).Counted(2));
}

}  // namespace
}  // namespace quarn::console
