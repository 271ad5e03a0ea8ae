// Feeds a long run of 16 pairs with 16 streams each through the Console's line handling as
// fast as it takes it (as bench_scale does): once as it is, once with every processed second
// journalled on the main thread (the file written where the records are made), and once
// through the journal's writer thread. Prints the journal's size on disk and, for each, the
// main thread's CPU time (its thread clock: what others run on the machine does not count)
// and the whole process's, as ratios against the run without a journal of the same
// repetition: median and range over the repetitions. Each run is a child process of its own.
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "bench/server_lines.h"
#include "console/core/console_data.h"
#include "console/core/console_view.h"
#include "console/core/measurement_run.h"
#include "console/core/tick_processor.h"
#include "console/records/journal_file.h"
#include "console/records/journal_writer.h"
#include "console/records/record_source.h"

namespace {

using quarn::console::ConsoleData;
using quarn::console::PairRecord;
using quarn::console::PairTable;
namespace records = quarn::console::records;

constexpr int kPairs = PairTable::kMaxPairs;
constexpr int kStreams = 16;
constexpr int kDefaultSeconds =
    static_cast<int>(quarn::console::MeasurementRun::kMaxDuration.count());
constexpr int kBatchSeconds = 1024;
constexpr int kDefaultRepeats = 5;
constexpr int kMaxRepeats = 99;
constexpr double kTargetJournalBytes = 150.0 * 1000 * 1000;

double CpuSeconds(clockid_t clock) {
    timespec now{};
    clock_gettime(clock, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

enum class Journal { None, MainThread, WriterThread };
constexpr const char* kJournalNames[] = {"without journal", "journal on main thread",
                                         "journal on writer thread"};

// CPU seconds of the main thread and of the whole process (the writer thread included).
struct Cpu {
    double main = 0.0;
    double process = 0.0;
};

struct Batch {
    std::string text;
    std::vector<std::pair<int, std::size_t>> lines;  // row, end offset in text
};

class Feeder : public quarn::console::ConsoleView {
  public:
    Feeder(Journal kind, const std::string& journalPath) : kind_(kind) {
        for (int pair = 1; pair <= kPairs; ++pair) {
            PairRecord record;
            record.config.endpoint1 = "198.18.1." + std::to_string(pair);
            record.config.endpoint2 = "198.18.2." + std::to_string(pair);
            record.config.parallel = kStreams;
            servers.emplace_back(record.config.endpoint2, record.config.endpoint1, 5000 + pair);
            data.table.AppendPair(std::move(record));
        }
        if (kind == Journal::MainThread && file.Open(journalPath))
            recorder.AddSink(file);
        if (kind == Journal::WriterThread && writer.Open(journalPath))
            recorder.AddSink(writer);
    }
    bool Journalling() const { return file.IsOpen() || writer.IsOpen(); }
    bool Good() const {
        return kind_ == Journal::None ||
               (kind_ == Journal::MainThread ? file.Good() : writer.Good());
    }
    void ShowNotice(quarn::console::NoticeKind, std::string_view) override {}
    void TickProcessed(int, std::chrono::seconds) override {
        if (Journalling())
            recorder.Second(data, std::chrono::system_clock::now());
    }

    void Begin(int seconds) {
        data.chart.SetPairCount(kPairs);
        data.chart.BeginRun(kPairs);
        for (int row = 0; row <= kPairs; ++row)
            PairTable::ResetForRun(data.table[row]);
        ticks.BeginRun(std::chrono::seconds(seconds), false);
        if (Journalling())
            recorder.Begin(data, records::NewRunId(std::chrono::system_clock::now()),
                           std::chrono::system_clock::now());
    }

    void Feed(const Batch& batch) {
        const double start = CpuSeconds(CLOCK_THREAD_CPUTIME_ID);
        std::size_t begin = 0;
        for (const auto& [row, end] : batch.lines) {
            ticks.HandleLine(row, std::string_view(batch.text).substr(begin, end - begin));
            begin = end;
        }
        cpu.main += CpuSeconds(CLOCK_THREAD_CPUTIME_ID) - start;
    }

    // Ending includes waiting for the writer thread to finish.
    void End() {
        const double start = CpuSeconds(CLOCK_THREAD_CPUTIME_ID);
        if (Journalling())
            recorder.End(data, "completed", std::chrono::system_clock::now());
        cpu.main += CpuSeconds(CLOCK_THREAD_CPUTIME_ID) - start;
    }

    ConsoleData data;
    quarn::console::TickProcessor ticks{data, *this};
    records::RecordSource recorder;
    records::JournalFile file;
    records::JournalWriter writer;
    std::vector<quarn::bench::ServerLines> servers;
    Cpu cpu;

  private:
    Journal kind_;
};

void AddInterval(Batch& batch, quarn::bench::ServerLines& server, int row, long long second) {
    int sum = 0;
    for (int id = 1; id <= kStreams; ++id) {
        sum += server.AppendStreamInterval(second, id, batch.text);
        batch.lines.emplace_back(row, batch.text.size());
    }
    quarn::bench::ServerLines::AppendSumInterval(second, sum, batch.text);
    batch.lines.emplace_back(row, batch.text.size());
}

// Runs the whole feed and writes the CPU seconds it took to `report`: the main thread's
// while it fed, plus every other thread's (the writer's) throughout.
int RunScenario(Journal kind, int seconds, const std::string& journalPath, int report) {
    Feeder feeder(kind, journalPath);
    if (kind != Journal::None && !feeder.Journalling()) {
        std::fprintf(stderr, "cannot create %s\n", journalPath.c_str());
        return 1;
    }
    feeder.Begin(seconds);
    Batch batch;
    for (int header = 0; header < quarn::bench::ServerLines::kHeaderLines; ++header) {
        for (int pair = 1; pair <= kPairs; ++pair) {
            batch.text += feeder.servers[static_cast<std::size_t>(pair - 1)].Header(header);
            batch.lines.emplace_back(pair, batch.text.size());
        }
    }
    const long long intervals = seconds + quarn::console::TickProcessor::kWarmupTicks;
    for (long long second = 0; second < intervals; ++second) {
        for (int pair = 1; pair <= kPairs; ++pair)
            AddInterval(batch, feeder.servers[static_cast<std::size_t>(pair - 1)], pair, second);
        if ((second + 1) % kBatchSeconds == 0 || second + 1 == intervals) {
            feeder.Feed(batch);
            batch.text.clear();
            batch.lines.clear();
        }
    }
    feeder.End();
    const double others =
        CpuSeconds(CLOCK_PROCESS_CPUTIME_ID) - CpuSeconds(CLOCK_THREAD_CPUTIME_ID);
    const double values[3] = {feeder.cpu.main, feeder.cpu.main + others,
                              static_cast<double>(feeder.ticks.Ticks())};
    (void)!write(report, values, sizeof values);
    return feeder.Good() ? 0 : 1;
}

struct Outcome {
    Cpu cpu;
    int ticks = 0;
    long long size = -1;  // the journal's, in bytes
    long long onDisk = -1;
};

bool RunChild(Journal kind, int seconds, const std::string& journalPath, Outcome& outcome) {
    int pipe_[2];
    if (pipe(pipe_) != 0)
        return false;
    std::fflush(stdout);
    const pid_t child = fork();
    if (child == 0) {
        close(pipe_[0]);
        _exit(RunScenario(kind, seconds, journalPath, pipe_[1]));
    }
    close(pipe_[1]);
    double values[3] = {0.0, 0.0, 0.0};
    const bool got = read(pipe_[0], values, sizeof values) == sizeof values;
    close(pipe_[0]);
    int status = 0;
    const bool ok = child > 0 && waitpid(child, &status, 0) == child && WIFEXITED(status) &&
                    WEXITSTATUS(status) == 0;
    outcome.cpu = {values[0], values[1]};
    outcome.ticks = static_cast<int>(values[2]);
    struct stat info {};
    if (stat(journalPath.c_str(), &info) == 0) {
        outcome.size = static_cast<long long>(info.st_size);
        outcome.onDisk = static_cast<long long>(info.st_blocks) * 512;
    }
    unlink(journalPath.c_str());
    return got && ok;
}

double Ratio(double value, double base) {
    return base > 0 ? value / base : 0.0;
}

double Median(std::vector<double> values) {
    if (values.empty())
        return 0.0;
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

// One figure over the repetitions: its median and its range.
struct Spread {
    double median = 0.0;
    double low = 0.0;
    double high = 0.0;
};

Spread SpreadOf(const std::vector<double>& values) {
    if (values.empty())
        return {};
    const auto [low, high] = std::minmax_element(values.begin(), values.end());
    return {Median(values), *low, *high};
}

constexpr Journal kKinds[] = {Journal::None, Journal::MainThread, Journal::WriterThread};
constexpr int kKindCount = 3;

// outcomes[repetition][kind]. Each repetition runs the three feeds in another order, so a
// machine that gets busier or quieter during the bench does not favour one of them.
using Repetitions = std::vector<std::array<Outcome, kKindCount>>;

bool RunRepetitions(int seconds, const std::string& path, Repetitions& outcomes) {
    bool ok = true;
    for (std::size_t rep = 0; rep < outcomes.size(); ++rep) {
        for (int step = 0; step < kKindCount; ++step) {
            const int index = static_cast<int>((static_cast<std::size_t>(step) + rep) % kKindCount);
            const Journal kind = kKinds[index];
            ok = RunChild(kind, seconds, kind == Journal::None ? std::string() : path,
                          outcomes[rep][static_cast<std::size_t>(index)]) &&
                 ok;
        }
    }
    return ok;
}

// Each repetition's figure for `kind`; `ratio` divides it by the same repetition's run
// without a journal.
std::vector<double> Figures(const Repetitions& outcomes, int kind, bool process, bool ratio) {
    std::vector<double> values;
    for (const auto& rep : outcomes) {
        const Outcome& o = rep[static_cast<std::size_t>(kind)];
        const double value = process ? o.cpu.process : o.cpu.main;
        const double base = process ? rep[0].cpu.process : rep[0].cpu.main;
        values.push_back(ratio ? Ratio(value, base) : value);
    }
    return values;
}

void PrintSize(const Outcome& threaded, int seconds) {
    // What the full run's journal would take, from this run's share of it.
    const double fullSize = static_cast<double>(threaded.size) * kDefaultSeconds / seconds;
    std::printf("  journal size          %lld bytes (%lld on disk), %.1f bytes per pair-second\n",
                threaded.size, threaded.onDisk,
                static_cast<double>(threaded.size) / (static_cast<double>(seconds) * kPairs));
    std::printf("  for %d seconds        %.1f MB   target < %.0f MB   ratio %.2f\n",
                kDefaultSeconds, fullSize / 1e6, kTargetJournalBytes / 1e6,
                fullSize / kTargetJournalBytes);
}

void PrintCpu(const Repetitions& outcomes, int seconds) {
    std::printf("  %-26s %8s %21s %9s %21s\n", "", "main s", "main ratio (min-max)", "process s",
                "proc ratio (min-max)");
    for (int kind = 0; kind < kKindCount; ++kind) {
        const Spread main = SpreadOf(Figures(outcomes, kind, false, false));
        const Spread mainRatio = SpreadOf(Figures(outcomes, kind, false, true));
        const Spread process = SpreadOf(Figures(outcomes, kind, true, false));
        const Spread processRatio = SpreadOf(Figures(outcomes, kind, true, true));
        std::printf("  %-26s %8.3f %7.3f (%.3f-%.3f) %9.3f %7.3f (%.3f-%.3f)\n",
                    kJournalNames[kind], main.median, mainRatio.median, mainRatio.low,
                    mainRatio.high, process.median, processRatio.median, processRatio.low,
                    processRatio.high);
    }
    for (int kind = 1; kind < kKindCount; ++kind) {
        std::vector<double> extra;
        for (const auto& rep : outcomes)
            extra.push_back(rep[static_cast<std::size_t>(kind)].cpu.main - rep[0].cpu.main);
        std::printf("  main-thread CPU for journalling, %-24s %.1f us per run second\n",
                    kJournalNames[kind], Median(extra) / seconds * 1e6);
    }
}

}  // namespace

int main(int argc, char** argv) {
    const int seconds = argc > 1 ? std::atoi(argv[1]) : kDefaultSeconds;
    const std::string dir = argc > 2 ? argv[2] : "/tmp";
    const int repeats = argc > 3 ? std::atoi(argv[3]) : kDefaultRepeats;
    if (seconds < 1 || seconds > kDefaultSeconds || repeats < 1 || repeats > kMaxRepeats) {
        std::fprintf(stderr,
                     "usage: %s [SECONDS [DIR [REPEATS]]]  (seconds 1..%d, default %d; DIR for "
                     "the journal, default /tmp; repeats 1..%d, default %d)\n",
                     argv[0], kDefaultSeconds, kDefaultSeconds, kMaxRepeats, kDefaultRepeats);
        return 2;
    }
    const std::string path =
        dir + "/bench-journal-" + std::to_string(getpid()) + records::JournalWriter::kExtension;
    Repetitions outcomes(static_cast<std::size_t>(repeats));
    const bool ok = RunRepetitions(seconds, path, outcomes);
    std::printf("bench_journal: %d pairs, %d streams each, a %d-second run, %d repetitions\n",
                kPairs, kStreams, seconds, repeats);
    PrintSize(outcomes[0][2], seconds);
    PrintCpu(outcomes, seconds);
    bool complete = ok;
    for (const auto& rep : outcomes)
        for (const Outcome& o : rep)
            complete = complete && o.ticks == seconds;
    if (!complete) {
        std::printf("  WARNING: a run did not complete as expected\n");
        return 1;
    }
    return 0;
}
