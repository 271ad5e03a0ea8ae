#include "console/core/quality_accumulator.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "console/core/tick_processor.h"
#include "console/core/udp_report.h"
#include "tests/unit/console_core/iperf_capture.h"
#include "tests/unit/console_core/recording_view.h"

namespace quarn::console {
namespace {

using test::PlainCaptureLines;
using test::ServerLines;

TEST(UdpReportTest, ReadsTheReportOfEveryVersion) {
    const auto old = ParseUdpReport(
        "[  3]  0.0- 1.0 sec  0.63 MBytes  5.26 Mbits/sec   0.002 ms    1/  446 (0.22%)");
    ASSERT_TRUE(old);
    EXPECT_EQ(old->stream, "3");
    EXPECT_FALSE(old->sum);
    EXPECT_DOUBLE_EQ(old->start, 0.0);
    EXPECT_DOUBLE_EQ(old->end, 1.0);
    EXPECT_DOUBLE_EQ(old->jitterMs.value_or(-1), 0.002);
    EXPECT_EQ(old->lost, 1);
    EXPECT_EQ(old->total, 446);

    const auto fast = ParseUdpReport(
        "[  1] 10.0000-11.0000 sec  11.9 MBytes  100 Mbits/sec   0.013 ms 127/16223 (0.78%)\r");
    ASSERT_TRUE(fast);
    EXPECT_DOUBLE_EQ(fast->start, 10.0);
    EXPECT_EQ(fast->lost, 127);
    EXPECT_EQ(fast->total, 16223);

    // The [SUM] line of 2.1 and later has no jitter column.
    const auto sum =
        ParseUdpReport("[SUM] 0.0000-1.0000 sec  1.26 MBytes  10.5 Mbits/sec   0/896 (0%)");
    ASSERT_TRUE(sum);
    EXPECT_TRUE(sum->sum);
    EXPECT_FALSE(sum->jitterMs);
    EXPECT_EQ(sum->total, 896);
}

TEST(UdpReportTest, LinesWithoutCountsAreNoReport) {
    for (const char* line : {
             "[SUM]  0.0- 1.0 sec  1.19 MBytes  10.0 Mbits/sec",  // 2.0.6
             "[  3]  0.0- 1.0 sec  1.25 MBytes  10.5 Mbits/sec",
             "[  1] 0.0000-1.0000 sec  1 datagrams received out-of-order",
             "[ ID] Interval       Transfer     Bandwidth        Jitter   Lost/Total Datagrams",
             "[  3] Sent 1338 datagrams",
             "Mbits/sec 1/2 (3%)",
             "[  1] x-y sec 1 MBytes 2 Mbits/sec 0.1 ms 1/2 (50%)",
             "[  1] 0.0-1.0 sec 1 MBytes 2 Mbits/sec 0.1 ms one/2 (50%)",
             "",
         }) {
        EXPECT_FALSE(ParseUdpReport(line)) << line;
    }
}

TEST(UdpReportTest, ClassifiesEmptyAndImpossibleSeconds) {
    struct Case {
        const char* line;
        UdpReportKind kind;
    };
    const Case cases[] = {
        {"[  3]  3.0- 4.0 sec  0.00 MBytes  0.00 Mbits/sec   0.006 ms    0/    0 (-nan%)",
         UdpReportKind::Empty},
        {"[  1] 3.00-4.00 sec  0.000 MBytes  0.000 Mbits/sec   0.000 ms 0/0 (0%)",
         UdpReportKind::Empty},
        {"[  1] 1.00-2.00 sec  1 MBytes  8 Mbits/sec   0.1 ms 0/0 (0%)", UdpReportKind::Empty},
        {"[  1] 1.00-2.00 sec  1 MBytes  8 Mbits/sec   0.1 ms 700/600 (117%)",
         UdpReportKind::Impossible},
        {"[  1] 1.00-2.00 sec  1 MBytes  8 Mbits/sec   0.1 ms -3/600 (-0.5%)",
         UdpReportKind::Impossible},
        {"[  1] 1.00-2.00 sec  1 MBytes  8 Mbits/sec   nan ms 3/600 (0.5%)",
         UdpReportKind::Impossible},
        {"[  1] 1.00-2.00 sec  1 MBytes  8 Mbits/sec   -0.2 ms 3/600 (0.5%)",
         UdpReportKind::Impossible},
        {"[  1] 1.00-2.00 sec  1 MBytes  8 Mbits/sec   0.2 ms 3/600 (0.5%)",
         UdpReportKind::Counted},
    };
    for (const Case& c : cases) {
        const auto report = ParseUdpReport(c.line);
        ASSERT_TRUE(report) << c.line;
        EXPECT_EQ(Classify(*report), c.kind) << c.line;
    }
}

QualityAccumulator Fed(const std::vector<std::string>& lines) {
    QualityAccumulator accumulator;
    for (const std::string& line : lines) {
        accumulator.Feed(line);
    }
    return accumulator;
}

// Lost and total datagrams of each capture, summed by hand from its stream lines (the
// streams' totals over the run and the [SUM] lines left out).
TEST(QualityAccumulatorTest, SumsStreamsOfEveryVersionWithOneTwoAndFourStreams) {
    struct Capture {
        const char* name;
        std::vector<std::string> lines;
        long long lost;
        long long total;
        std::size_t seconds;
    };
    const Capture captures[] = {
        {"2.0.6 x1", ServerLines("iperf-2.0.6-ABCD.txt", "UDP -b 10M -t 3"), 0, 2551, 3},
        {"2.0.6 x2", ServerLines("iperf-2.0.6-ABCD.txt", "UDP -b 5M -P 2 -t 3"), 1, 2550, 3},
        {"2.0.13 x1", ServerLines("iperf-2.0.13-ABCD.txt", "UDP -b 10M -t 3"), 0, 1784, 2},
        {"2.0.13 x2", ServerLines("iperf-2.0.13-ABCD.txt", "UDP -b 5M -P 2 -t 3"), 1, 2676, 3},
        {"2.1.8 x1", ServerLines("iperf-2.1.8-ABCD.txt", "UDP -b 10M -t 3"), 0, 2678, 3},
        {"2.1.8 x2", ServerLines("iperf-2.1.8-ABCD.txt", "UDP -b 5M -P 2 -t 3"), 1, 2679, 3},
        {"2.1.8 x4", PlainCaptureLines("iperf-2.1.8-server-udp-P4-5s.txt"), 14, 34027, 5},
        {"2.1.8 12s", PlainCaptureLines("iperf-2.1.8-server-udp-100M-12s.txt"), 0, 102043, 12},
        {"2.2.1 x1", ServerLines("iperf-2.2.1-ABCD.txt", "UDP -b 10M -t 3"), 0, 2675, 3},
        {"2.2.1 x2", ServerLines("iperf-2.2.1-ABCD.txt", "UDP -b 5M -P 2 -t 3"), 1, 2677, 3},
        {"2.0.6 burst", ServerLines("iperf-2.0.6-rest.txt", "UDP -b 10k -t 3"), 288, 4298, 4},
    };
    for (const Capture& c : captures) {
        const QualityAccumulator accumulator = Fed(c.lines);
        EXPECT_EQ(accumulator.Lost(), c.lost) << c.name;
        EXPECT_EQ(accumulator.Total(), c.total) << c.name;
        PairQuality quality;
        accumulator.Publish(quality);
        ASSERT_TRUE(quality.lossPercent) << c.name;
        EXPECT_NEAR(*quality.lossPercent, 100.0 * c.lost / c.total, 1e-9) << c.name;
        EXPECT_TRUE(quality.jitterAverageMs && quality.jitterMaxMs) << c.name;
        EXPECT_GE(*quality.jitterMaxMs + 1e-12, *quality.jitterAverageMs) << c.name;
        EXPECT_EQ(quality.impossibleReports, 0) << c.name;
        // The last second stays open until a later one begins.
        EXPECT_EQ(accumulator.ClosedSeconds().size() + 1, c.seconds) << c.name;
    }
}

TEST(QualityAccumulatorTest, FourStreamsMakeOneSecondEach) {
    const QualityAccumulator accumulator =
        Fed(PlainCaptureLines("iperf-2.1.8-server-udp-P4-5s.txt"));
    const auto& seconds = accumulator.ClosedSeconds();
    ASSERT_EQ(seconds.size(), 4u);
    // First second: streams 4, 1, 2, 3 lost 7, 0, 0, 7 of 1709, 1701, 1706, 1709; iperf's
    // own [SUM] line says 11/6825.
    EXPECT_EQ(seconds[0].lost, 14);
    EXPECT_EQ(seconds[0].total, 6825);
    EXPECT_DOUBLE_EQ(seconds[0].jitterMs.value_or(-1), 0.003);
    EXPECT_DOUBLE_EQ(seconds[1].start, 1.0);
    EXPECT_EQ(seconds[1].total, 6805);
    EXPECT_DOUBLE_EQ(seconds[1].jitterMs.value_or(-1), 0.004);
}

TEST(QualityAccumulatorTest, ServerWithoutItsClientCountsNothingMore) {
    struct Capture {
        const char* file;
        long long total;
        int emptySeconds;
    };
    // 2.0.6 prints nothing after the client died, later versions zero-rate seconds.
    for (const Capture& c :
         {Capture{"iperf-2.0.6-rest.txt", 1700, 0}, Capture{"iperf-2.0.13-rest.txt", 2227, 3},
          Capture{"iperf-2.1.8-rest.txt", 2229, 3}, Capture{"iperf-2.2.1-rest.txt", 2228, 3}}) {
        QualityAccumulator accumulator;
        int empty = 0;
        for (const std::string& line : ServerLines(c.file, "UDP client SIGKILL at 2.5s")) {
            empty += accumulator.Feed(line) == QualityLine::Empty ? 1 : 0;
        }
        EXPECT_EQ(accumulator.Total(), c.total) << c.file;
        EXPECT_EQ(accumulator.Lost(), 0) << c.file;
        EXPECT_EQ(empty, c.emptySeconds) << c.file;
        PairQuality quality;
        accumulator.Publish(quality);
        EXPECT_DOUBLE_EQ(quality.lossPercent.value_or(-1), 0.0) << c.file;
        // The stale jitter of the empty seconds is not taken either.
        EXPECT_GT(quality.lastJitterMs.value_or(0), 0.0) << c.file;
    }
}

TEST(QualityAccumulatorTest, NoServerReportsGiveNoFigures) {
    const QualityAccumulator accumulator =
        Fed(ServerLines("iperf-2.0.9-ABCD.txt", "UDP -b 5M -P 2 -t 3"));
    PairQuality quality;
    accumulator.Publish(quality);
    EXPECT_EQ(accumulator.Total(), 0);
    EXPECT_FALSE(quality.lossPercent);
    EXPECT_FALSE(quality.jitterAverageMs);
    EXPECT_FALSE(quality.lastLossPercent);
}

TEST(QualityAccumulatorTest, RunLossIsLostOverTotalAndImpossibleLinesAreNotSamples) {
    QualityAccumulator accumulator;
    EXPECT_EQ(accumulator.Feed("[  1] 0.00-1.00 sec 1 MBytes 8 Mbits/sec 0.5 ms 50/100 (50%)"),
              QualityLine::Counted);
    EXPECT_EQ(accumulator.Feed("[  1] 1.00-2.00 sec 1 MBytes 8 Mbits/sec 1.5 ms 0/900 (0%)"),
              QualityLine::Counted);
    EXPECT_EQ(accumulator.Feed("[  1] 2.00-3.00 sec 1 MBytes 8 Mbits/sec 9.0 ms 950/900 (105%)"),
              QualityLine::Impossible);
    EXPECT_EQ(accumulator.Feed("[  1] 3.00-4.00 sec 1 MBytes 8 Mbits/sec -nan ms 1/900 (0.1%)"),
              QualityLine::Impossible);
    EXPECT_EQ(accumulator.Feed("[SUM] 1.00-2.00 sec 1 MBytes 8 Mbits/sec 7/900 (0.7%)"),
              QualityLine::Ignored);
    EXPECT_EQ(accumulator.Feed("[  1] 0.00-4.00 sec 1 MBytes 8 Mbits/sec 0.5 ms 50/1000 (5%)"),
              QualityLine::Ignored);
    PairQuality quality;
    accumulator.Publish(quality);
    EXPECT_DOUBLE_EQ(quality.lossPercent.value_or(-1), 5.0);  // not the mean of 50 and 0
    EXPECT_DOUBLE_EQ(quality.jitterAverageMs.value_or(-1), 1.0);
    EXPECT_DOUBLE_EQ(quality.jitterMaxMs.value_or(-1), 1.5);
    EXPECT_DOUBLE_EQ(quality.lastLossPercent.value_or(-1), 0.0);
    EXPECT_EQ(quality.impossibleReports, 2);
}

// A peer may print any count: the sums hold at the largest value instead of overflowing,
// and made-up stream labels beyond what any pair has are not told apart.
TEST(QualityAccumulatorTest, HostileCountsAndStreamsStayBounded) {
    QualityAccumulator accumulator;
    const std::string huge = "9223372036854775000";
    for (int second = 0; second < 3; ++second) {
        const std::string start = std::to_string(second);
        EXPECT_EQ(
            accumulator.Feed("[  1] " + start + ".0-" + std::to_string(second + 1) +
                             ".0 sec 1 MBytes 8 Mbits/sec 0.5 ms " + huge + "/" + huge + " (100%)"),
            QualityLine::Counted);
    }
    EXPECT_EQ(accumulator.Lost(), std::numeric_limits<long long>::max());
    EXPECT_EQ(accumulator.Total(), std::numeric_limits<long long>::max());
    PairQuality quality;
    accumulator.Publish(quality);
    EXPECT_DOUBLE_EQ(quality.lossPercent.value_or(-1), 100.0);

    int counted = 0;
    for (size_t stream = 2; stream < 500; ++stream) {
        counted += accumulator.Feed("[" + std::to_string(stream) +
                                    "] 3.0-4.0 sec 1 MBytes 8 Mbits/sec 0.5 ms 1/10 (10%)") ==
                           QualityLine::Counted
                       ? 1
                       : 0;
    }
    EXPECT_EQ(counted, static_cast<int>(QualityAccumulator::kMaxStreams) - 1);
}

TEST(QualityOfRunTest, TheAllRowsSumHoldsAtTheLargestCount) {
    PairTable table;
    for (int i = 0; i < 3; ++i) {
        table.AppendPair(PairRecord{});
        table[i + 1].figures.quality.lostDatagrams = std::numeric_limits<long long>::max() - 5;
        table[i + 1].figures.quality.totalDatagrams = std::numeric_limits<long long>::max();
    }
    SumLossIntoAll(table);
    EXPECT_EQ(table.All().figures.quality.lostDatagrams, std::numeric_limits<long long>::max());
    EXPECT_EQ(table.All().figures.quality.totalDatagrams, std::numeric_limits<long long>::max());
    EXPECT_DOUBLE_EQ(table.All().figures.quality.lossPercent.value_or(-1), 100.0);
}

// The run's figures come from the pairs' lines as they arrive, whatever the ticks do;
// the All row gets the loss of all pairs together.
TEST(QualityOfRunTest, UdpPairsAndTheAllRow) {
    ConsoleData data;
    test::RecordingView view;
    TickProcessor ticks{data, view};
    for (int i = 0; i < 2; ++i) {
        data.table.AppendPair(PairRecord{});
    }
    data.chart.BeginRun(2);
    ticks.BeginRun(std::chrono::seconds(60), /*udp=*/true);
    for (const std::string& line : ServerLines("iperf-2.0.6-rest.txt", "UDP -b 10k -t 3")) {
        ticks.HandleLine(1, line);
    }
    for (const std::string& line : ServerLines("iperf-2.2.1-ABCD.txt", "UDP -b 5M -P 2 -t 3")) {
        ticks.HandleLine(2, line);
    }
    EXPECT_NEAR(data.table[1].figures.quality.lossPercent.value_or(-1), 100.0 * 288 / 4298, 1e-9);
    EXPECT_NEAR(data.table[2].figures.quality.lossPercent.value_or(-1), 100.0 * 1 / 2677, 1e-9);
    EXPECT_NEAR(data.table.All().figures.quality.lossPercent.value_or(-1),
                100.0 * 289 / (4298 + 2677), 1e-9);
    EXPECT_EQ(data.table.All().figures.quality.totalDatagrams, 4298 + 2677);
    // A failure line is no report, and the next run starts from nothing.
    ticks.HandleLine(1, "[  1] 4.0-5.0 sec 1 MBytes 8 Mbits/sec 0.1 ms 5/10 (50%) failed");
    EXPECT_EQ(data.table[1].figures.quality.lostDatagrams, 288);
    ticks.BeginRun(std::chrono::seconds(60), /*udp=*/true);
    EXPECT_FALSE(data.table[1].figures.quality.lossPercent);
    EXPECT_FALSE(data.table.All().figures.quality.lossPercent);
}

TEST(QualityOfRunTest, TcpRunsHaveNoLossFigures) {
    ConsoleData data;
    test::RecordingView view;
    TickProcessor ticks{data, view};
    data.table.AppendPair(PairRecord{});
    data.chart.BeginRun(1);
    ticks.BeginRun(std::chrono::seconds(60), /*udp=*/false);
    for (const std::string& line : ServerLines("iperf-2.0.13-ABCD.txt", "UDP -b 10M -t 3")) {
        ticks.HandleLine(1, line);
    }
    EXPECT_FALSE(data.table[1].figures.quality.lossPercent);
    EXPECT_FALSE(data.table[1].figures.quality.jitterAverageMs);
}

}  // namespace
}  // namespace quarn::console
