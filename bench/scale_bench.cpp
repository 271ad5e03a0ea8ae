// Feeds the iperf server lines of a long run of 16 pairs through the Console's line handling
// (TickProcessor on ConsoleData: parsing, ticks, statistics, logs, chart) as fast as it takes
// them, and prints the line rate and the memory held against the text logged.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "bench/server_lines.h"
#include "console/core/console_data.h"
#include "console/core/console_view.h"
#include "console/core/measurement_run.h"
#include "console/core/tick_processor.h"

namespace {

using quarn::console::ConsoleData;
using quarn::console::PairRecord;
using quarn::console::PairTable;

constexpr int kPairs = PairTable::kMaxPairs;
constexpr int kDefaultSeconds = quarn::console::MeasurementRun::kMaxDuration;
// Lines are made in batches outside the timed part; this many seconds per batch.
constexpr int kBatchSeconds = 1024;
constexpr double kTargetLinesPerSecond = 1'000'000.0;
constexpr double kTargetMemoryPerText = 1.5;

class SilentView : public quarn::console::ConsoleView {
  public:
    void ShowNotice(quarn::console::NoticeKind, std::string_view) override {}
};

// Peak resident set size in bytes (VmHWM).
long long PeakResidentBytes() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmHWM:", 0) == 0) {
            return std::atoll(line.c_str() + 6) * 1024;
        }
    }
    return -1;
}

struct Batch {
    std::string text;
    std::vector<std::pair<int, std::size_t>> lines;  // row, end offset in text
};

struct Feeder {
    ConsoleData data;
    SilentView view;
    quarn::console::TickProcessor ticks{data, view};
    std::vector<quarn::bench::ServerLines> servers;
    double seconds = 0.0;
    long long lines = 0;
    long long bytes = 0;

    void Feed(const Batch& batch) {
        const auto start = std::chrono::steady_clock::now();
        std::size_t begin = 0;
        for (const auto& [row, end] : batch.lines) {
            ticks.HandleLine(row, std::string_view(batch.text).substr(begin, end - begin));
            begin = end;
        }
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        lines += static_cast<long long>(batch.lines.size());
        bytes += static_cast<long long>(batch.text.size());
    }
};

void StartRun(Feeder& feeder, int seconds) {
    for (int pair = 1; pair <= kPairs; ++pair) {
        PairRecord record;
        record.endpoint1 = "198.18.1." + std::to_string(pair);
        record.endpoint2 = "198.18.2." + std::to_string(pair);
        feeder.servers.emplace_back(record.endpoint2, record.endpoint1, 5000 + pair);
        feeder.data.table.AppendPair(std::move(record));
    }
    feeder.data.chart.SetPairCount(kPairs);
    feeder.data.chart.BeginRun(kPairs);
    for (int row = 0; row <= kPairs; ++row) {
        PairTable::ResetForRun(feeder.data.table[row]);
    }
    feeder.ticks.BeginRun(seconds, false);
}

void AddLine(Batch& batch, int row) {
    batch.lines.emplace_back(row, batch.text.size());
}

int Run(int argc, char** argv) {
    const int seconds = argc > 1 ? std::atoi(argv[1]) : kDefaultSeconds;
    if (seconds < 1 || seconds > kDefaultSeconds) {
        std::fprintf(stderr, "usage: %s [SECONDS]  (1..%d, default %d)\n", argv[0], kDefaultSeconds,
                     kDefaultSeconds);
        return 2;
    }
    // The two warm-up seconds come before the run's own.
    const long long intervals = seconds + quarn::console::TickProcessor::kWarmupTicks;

    Feeder feeder;
    StartRun(feeder, seconds);
    Batch batch;
    batch.text.reserve(static_cast<std::size_t>(kBatchSeconds) * kPairs * 64);
    batch.lines.reserve(static_cast<std::size_t>(kBatchSeconds) * kPairs);
    const long long peakBefore = PeakResidentBytes();

    for (int header = 0; header < quarn::bench::ServerLines::kHeaderLines; ++header) {
        for (int pair = 1; pair <= kPairs; ++pair) {
            batch.text += feeder.servers[pair - 1].Header(header);
            AddLine(batch, pair);
        }
    }
    for (long long second = 0; second < intervals; ++second) {
        for (int pair = 1; pair <= kPairs; ++pair) {
            feeder.servers[pair - 1].AppendInterval(second, batch.text);
            AddLine(batch, pair);
        }
        if ((second + 1) % kBatchSeconds == 0 || second + 1 == intervals) {
            feeder.Feed(batch);
            batch.text.clear();
            batch.lines.clear();
        }
    }
    const long long peakAfter = PeakResidentBytes();

    long long logged = 0;
    long long loggedLines = 0;
    long long reserved = 0;
    for (int row = 1; row <= kPairs; ++row) {
        const quarn::console::PairLog& log = feeder.data.table[row].log;
        for (std::size_t i = 0; i < log.Size(); ++i) {
            logged += static_cast<long long>(log.Text(i).size());
        }
        loggedLines += static_cast<long long>(log.Size());
        reserved += static_cast<long long>(log.BytesReserved());
    }
    long long chartPoints = 0;
    for (const quarn::console::ChartSeries& series : feeder.data.chart.Series()) {
        chartPoints += static_cast<long long>(series.size());
    }

    const double linesPerSecond = static_cast<double>(feeder.lines) / feeder.seconds;
    const long long growth = peakAfter - peakBefore;
    const double memoryPerText = static_cast<double>(growth) / static_cast<double>(logged);
    std::printf("bench_scale: %d pairs, a %d-second run (%lld intervals with the warm-up)\n",
                kPairs, seconds, intervals);
    std::printf("  lines fed             %lld (%lld logged), %lld bytes\n", feeder.lines,
                loggedLines, feeder.bytes);
    std::printf("  ticks processed       %d of %d\n", feeder.ticks.Ticks(), seconds);
    std::printf("  time in line handling %.3f s\n", feeder.seconds);
    std::printf("  lines per second      %.0f   target %.0f   ratio %.2f\n", linesPerSecond,
                kTargetLinesPerSecond, linesPerSecond / kTargetLinesPerSecond);
    std::printf("  text logged           %lld bytes\n", logged);
    std::printf("  peak memory growth    %lld bytes (VmHWM %lld -> %lld)\n", growth, peakBefore,
                peakAfter);
    std::printf("    of which logs       %lld bytes reserved; chart %lld points\n", reserved,
                chartPoints);
    std::printf("  memory / text         %.3f   target <= %.2f\n", memoryPerText,
                kTargetMemoryPerText);
    const bool whole = feeder.ticks.Ticks() == seconds && logged == feeder.bytes;
    if (!whole) {
        std::printf("  WARNING: the run did not take every line as expected\n");
    }
    return whole ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    return Run(argc, argv);
}
