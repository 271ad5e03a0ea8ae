// Feeds a long run of 16 pairs with 16 streams each through the Console's line handling as
// fast as it takes it (as bench_scale does), once as it is and once with every processed
// second recorded into a journal, and prints the journal's size on disk and the extra CPU
// time the journal costs. Each run is a child process of its own.
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

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
#include "console/records/journal_writer.h"
#include "console/records/run_recorder.h"

namespace {

using quarn::console::ConsoleData;
using quarn::console::PairRecord;
using quarn::console::PairTable;
namespace records = quarn::console::records;

constexpr int kPairs = PairTable::kMaxPairs;
constexpr int kStreams = 16;
constexpr int kDefaultSeconds = quarn::console::MeasurementRun::kMaxDuration;
constexpr int kBatchSeconds = 1024;
constexpr double kTargetJournalBytes = 150.0 * 1000 * 1000;

double CpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

struct Batch {
    std::string text;
    std::vector<std::pair<int, std::size_t>> lines;  // row, end offset in text
};

class Feeder : public quarn::console::ConsoleView {
  public:
    explicit Feeder(const std::string& journalPath) {
        for (int pair = 1; pair <= kPairs; ++pair) {
            PairRecord record;
            record.config.endpoint1 = "198.18.1." + std::to_string(pair);
            record.config.endpoint2 = "198.18.2." + std::to_string(pair);
            record.config.parallel = kStreams;
            servers.emplace_back(record.config.endpoint2, record.config.endpoint1, 5000 + pair);
            data.table.AppendPair(std::move(record));
        }
        if (!journalPath.empty() && journal.Open(journalPath))
            recorder.AddSink(journal);
    }
    void ShowNotice(quarn::console::NoticeKind, std::string_view) override {}
    void TickProcessed(int, int) override {
        if (journal.IsOpen())
            recorder.Second(data, std::chrono::system_clock::now());
    }

    void Begin(int seconds) {
        data.chart.SetPairCount(kPairs);
        data.chart.BeginRun(kPairs);
        for (int row = 0; row <= kPairs; ++row)
            PairTable::ResetForRun(data.table[row]);
        ticks.BeginRun(seconds, false);
        if (journal.IsOpen())
            recorder.Begin(data, records::NewRunId(std::chrono::system_clock::now()),
                           std::chrono::system_clock::now());
    }

    void Feed(const Batch& batch) {
        const double start = CpuSeconds();
        std::size_t begin = 0;
        for (const auto& [row, end] : batch.lines) {
            ticks.HandleLine(row, std::string_view(batch.text).substr(begin, end - begin));
            begin = end;
        }
        cpu += CpuSeconds() - start;
    }

    void End() {
        const double start = CpuSeconds();
        if (journal.IsOpen())
            recorder.End(data, "completed", std::chrono::system_clock::now());
        cpu += CpuSeconds() - start;
    }

    ConsoleData data;
    quarn::console::TickProcessor ticks{data, *this};
    records::RunRecorder recorder;
    records::JournalWriter journal;
    std::vector<quarn::bench::ServerLines> servers;
    double cpu = 0.0;
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

// Runs the whole feed and writes the CPU seconds it took to `report`.
int RunScenario(int seconds, const std::string& journalPath, int report) {
    Feeder feeder(journalPath);
    if (!journalPath.empty() && !feeder.journal.IsOpen()) {
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
    const double values[2] = {feeder.cpu, static_cast<double>(feeder.ticks.Ticks())};
    (void)!write(report, values, sizeof values);
    return feeder.journal.Good() || journalPath.empty() ? 0 : 1;
}

bool RunChild(int seconds, const std::string& journalPath, double& cpu, int& ticks) {
    int pipe_[2];
    if (pipe(pipe_) != 0)
        return false;
    std::fflush(stdout);
    const pid_t child = fork();
    if (child == 0) {
        close(pipe_[0]);
        _exit(RunScenario(seconds, journalPath, pipe_[1]));
    }
    close(pipe_[1]);
    double values[2] = {0.0, 0.0};
    const bool got = read(pipe_[0], values, sizeof values) == sizeof values;
    close(pipe_[0]);
    int status = 0;
    const bool ok = child > 0 && waitpid(child, &status, 0) == child && WIFEXITED(status) &&
                    WEXITSTATUS(status) == 0;
    cpu = values[0];
    ticks = static_cast<int>(values[1]);
    return got && ok;
}

}  // namespace

int main(int argc, char** argv) {
    const int seconds = argc > 1 ? std::atoi(argv[1]) : kDefaultSeconds;
    const std::string dir = argc > 2 ? argv[2] : "/tmp";
    if (seconds < 1 || seconds > kDefaultSeconds) {
        std::fprintf(stderr,
                     "usage: %s [SECONDS [DIR]]  (seconds 1..%d, default %d; DIR for the "
                     "journal, default /tmp)\n",
                     argv[0], kDefaultSeconds, kDefaultSeconds);
        return 2;
    }
    const std::string path =
        dir + "/bench-journal-" + std::to_string(getpid()) + records::JournalWriter::kExtension;
    double plainCpu = 0.0;
    double journalCpu = 0.0;
    int plainTicks = 0;
    int journalTicks = 0;
    const bool ok = RunChild(seconds, "", plainCpu, plainTicks) &&
                    RunChild(seconds, path, journalCpu, journalTicks);
    struct stat info {};
    const long long size =
        stat(path.c_str(), &info) == 0 ? static_cast<long long>(info.st_size) : -1;
    const long long onDisk = size < 0 ? -1 : static_cast<long long>(info.st_blocks) * 512;
    unlink(path.c_str());
    // What the full run's journal would take, from this run's share of it.
    const double fullSize = static_cast<double>(size) * kDefaultSeconds / seconds;
    std::printf("bench_journal: %d pairs, %d streams each, a %d-second run\n", kPairs, kStreams,
                seconds);
    std::printf("  ticks processed       %d without journal, %d with\n", plainTicks, journalTicks);
    std::printf("  journal size          %lld bytes (%lld on disk), %.1f bytes per pair-second\n",
                size, onDisk, static_cast<double>(size) / (static_cast<double>(seconds) * kPairs));
    std::printf("  for %d seconds        %.1f MB   target < %.0f MB   ratio %.2f\n",
                kDefaultSeconds, fullSize / 1e6, kTargetJournalBytes / 1e6,
                fullSize / kTargetJournalBytes);
    std::printf("  CPU without journal   %.3f s\n", plainCpu);
    std::printf("  CPU with journal      %.3f s\n", journalCpu);
    std::printf("  extra CPU             %.3f s   ratio with/without %.3f\n", journalCpu - plainCpu,
                plainCpu > 0 ? journalCpu / plainCpu : 0.0);
    std::printf("  journal CPU per second of a run   %.1f us (share of one core %.4f %%)\n",
                (journalCpu - plainCpu) / seconds * 1e6, (journalCpu - plainCpu) / seconds * 100);
    if (!ok || plainTicks != seconds || journalTicks != seconds) {
        std::printf("  WARNING: a run did not complete as expected\n");
        return 1;
    }
    return 0;
}
