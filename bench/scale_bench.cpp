// Feeds the iperf server lines of a long run of 16 pairs through the Console's line handling
// (TickProcessor on ConsoleData: parsing, ticks, statistics, logs, chart) as fast as it takes
// them, and prints the line rate and the memory held against the text logged: once with one
// stream per pair, once with 16 streams per pair (16 stream lines and a [SUM] line a second).
// Each run is a child process of its own, so each peak memory is its own.
#include <sys/wait.h>
#include <unistd.h>

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
constexpr int kDefaultSeconds =
    static_cast<int>(quarn::console::MeasurementRun::kMaxDuration.count());
// Lines are made in batches outside the timed part; this many seconds per batch.
constexpr int kBatchSeconds = 1024;
constexpr double kTargetLinesPerSecond = 1'000'000.0;
constexpr double kTargetMemoryPerText = 1.5;
// The run with 16 streams per pair: about 5 GB of text in under 1 GiB, 4 times less.
constexpr int kManyStreams = 16;
constexpr double kTargetManyStreamsMemoryPerText = 0.25;
constexpr long long kTargetManyStreamsMemory = 1LL << 30;

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

void StartRun(Feeder& feeder, int seconds, int streams) {
    for (int pair = 1; pair <= kPairs; ++pair) {
        PairRecord record;
        record.config.endpoint1 = "198.18.1." + std::to_string(pair);
        record.config.endpoint2 = "198.18.2." + std::to_string(pair);
        record.config.parallel = streams;
        feeder.servers.emplace_back(record.config.endpoint2, record.config.endpoint1, 5000 + pair);
        feeder.data.table.AppendPair(std::move(record));
    }
    feeder.data.chart.SetPairCount(kPairs);
    feeder.data.chart.BeginRun(kPairs);
    for (int row = 0; row <= kPairs; ++row) {
        PairTable::ResetForRun(feeder.data.table[row]);
    }
    feeder.ticks.BeginRun(std::chrono::seconds(seconds), false);
}

void AddLine(Batch& batch, int row) {
    batch.lines.emplace_back(row, batch.text.size());
}

// One second of a pair's output: its report, or with several streams each stream's
// report and their sum.
void AddInterval(Batch& batch, quarn::bench::ServerLines& server, int row, long long second,
                 int streams) {
    if (streams < 2) {
        server.AppendInterval(second, batch.text);
        AddLine(batch, row);
        return;
    }
    int sum = 0;
    for (int id = 1; id <= streams; ++id) {
        sum += server.AppendStreamInterval(second, id, batch.text);
        AddLine(batch, row);
    }
    quarn::bench::ServerLines::AppendSumInterval(second, sum, batch.text);
    AddLine(batch, row);
}

int RunScenario(int seconds, int streams) {
    // The two warm-up seconds come before the run's own.
    const long long intervals = seconds + quarn::console::TickProcessor::kWarmupTicks;
    const std::size_t linesPerInterval = static_cast<std::size_t>(streams < 2 ? 1 : streams + 1);

    Feeder feeder;
    StartRun(feeder, seconds, streams);
    Batch batch;
    batch.text.reserve(static_cast<std::size_t>(kBatchSeconds) * kPairs * linesPerInterval * 64);
    batch.lines.reserve(static_cast<std::size_t>(kBatchSeconds) * kPairs * linesPerInterval);
    const long long peakBefore = PeakResidentBytes();

    for (int header = 0; header < quarn::bench::ServerLines::kHeaderLines; ++header) {
        for (int pair = 1; pair <= kPairs; ++pair) {
            batch.text += feeder.servers[pair - 1].Header(header);
            AddLine(batch, pair);
        }
    }
    for (long long second = 0; second < intervals; ++second) {
        for (int pair = 1; pair <= kPairs; ++pair) {
            AddInterval(batch, feeder.servers[pair - 1], pair, second, streams);
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
        const quarn::console::PairLog& log = feeder.data.logs.Of(feeder.data.table[row].id);
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
    std::printf(
        "bench_scale: %d pairs, %d stream%s each, a %d-second run (%lld intervals with "
        "the warm-up)\n",
        kPairs, streams, streams == 1 ? "" : "s", seconds, intervals);
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
    if (streams < 2) {
        std::printf("  memory / text         %.3f   target <= %.2f\n", memoryPerText,
                    kTargetMemoryPerText);
    } else {
        std::printf("  memory / text         %.3f   target <= %.2f (text / memory %.1f)\n",
                    memoryPerText, kTargetManyStreamsMemoryPerText, 1.0 / memoryPerText);
        std::printf("  memory in all         %.1f MiB   target < %.0f MiB\n",
                    static_cast<double>(growth) / (1 << 20),
                    static_cast<double>(kTargetManyStreamsMemory) / (1 << 20));
    }
    std::fflush(stdout);
    const bool whole = feeder.ticks.Ticks() == seconds && logged == feeder.bytes;
    if (!whole) {
        std::printf("  WARNING: the run did not take every line as expected\n");
    }
    return whole ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    const int seconds = argc > 1 ? std::atoi(argv[1]) : kDefaultSeconds;
    const int onlyStreams = argc > 2 ? std::atoi(argv[2]) : 0;
    if (seconds < 1 || seconds > kDefaultSeconds || onlyStreams < 0 || onlyStreams > kManyStreams) {
        std::fprintf(stderr,
                     "usage: %s [SECONDS [STREAMS]]  (seconds 1..%d, default %d; streams 1..%d, "
                     "default: a run with 1 and one with %d)\n",
                     argv[0], kDefaultSeconds, kDefaultSeconds, kManyStreams, kManyStreams);
        return 2;
    }
    int result = 0;
    for (const int streams : {1, kManyStreams}) {
        if (onlyStreams != 0 && streams != onlyStreams) {
            continue;
        }
        std::fflush(stdout);
        const pid_t child = fork();
        if (child == 0) {
            _exit(RunScenario(seconds, streams));
        }
        int status = 0;
        if (child < 0 || waitpid(child, &status, 0) != child || !WIFEXITED(status) ||
            WEXITSTATUS(status) != 0) {
            result = 1;
        }
    }
    return result;
}
