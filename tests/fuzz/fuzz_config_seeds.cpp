// Writes the .config seed files of fuzz_config_file: runs of real iperf 2 output through
// the tick processor, saved as the Console saves them.
// Usage: fuzz_config_seeds <iperf text folder> <output folder>
#include <cstdio>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include "console/core/console_data.h"
#include "console/core/tick_processor.h"
#include "console/files/config_file.h"

namespace {

using namespace quarn::console;

class QuietView : public ConsoleView {
  public:
    void ShowNotice(NoticeKind, std::string_view) override {}
};

std::vector<std::string> Lines(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

struct Seed {
    std::string file;
    std::string capture;  // empty: the pairs are set up but never run
    int pairs = 1;
    bool udp = false;
    int parallel = 1;
    bool withEndPoints = false;
};

ConsoleData Build(const Seed& seed, const std::string& captures) {
    ConsoleData data;
    data.settings.protocol = seed.udp ? Protocol::Udp : Protocol::Tcp;
    data.settings.durationText = "10";
    data.settings.throughputText = "100";
    data.settings.windowSizeText = "2";
    if (seed.withEndPoints) {
        data.endPoints = {{"198.18.0.11", "5001", "45000", "lab-b", "lab-b", "(lab-b"},
                          {"198.18.0.12", "5001", "1555", "측정-서버", "측정-서버", "(측정-서버"}};
        for (const EndPointEntry& entry : data.endPoints) {
            data.nameLookup[entry.address] = entry.name;
        }
    }
    for (int p = 0; p < seed.pairs; ++p) {
        PairConfig pair;
        pair.endpoint1 = "198.18.0." + std::to_string(10 + p % 3);
        pair.endpoint2 = "198.18.0." + std::to_string(20 + p);
        pair.parallel = seed.parallel;
        pair.showAddress = p % 2 == 0;
        PairRunState& run = data.table.Find(data.AddPair(std::move(pair)))->run;
        run.protocol = seed.udp ? Protocol::Udp : Protocol::Tcp;
        run.rateText = seed.udp ? "100.000000m" : "2.000000m";
    }
    if (seed.capture.empty()) {
        return data;
    }
    QuietView view;
    TickProcessor ticks(data, view);
    data.chart.BeginRun(seed.pairs);
    ticks.BeginRun(std::chrono::seconds(10), seed.udp);
    for (const std::string& line : Lines(captures + "/" + seed.capture)) {
        for (int row = 1; row <= seed.pairs; ++row) {
            ticks.HandleLine(row, line);
        }
    }
    for (int row = 1; row <= seed.pairs; ++row) {
        data.table[row].figures.state = PairState::Done;
        data.table[row].figures.statusText = "Done";
    }
    data.measuredAt = "2026-12-08 21:10:05";
    data.chart.FinishRun(data.ticks, ChartScaleSource::From(data.table));
    return data;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s <iperf text folder> <output folder>\n", argv[0]);
        return 2;
    }
    const std::vector<Seed> seeds = {
        {"new.config", "", 0, false, 1, false},
        {"pairs-not-run.config", "", 3, false, 1, true},
        {"tcp-2-pairs.config", "iperf-2.1.8-server-tcp-12s.txt", 2, false, 1, true},
        {"tcp-P4-1-pair.config", "iperf-2.1.8-server-tcp-P4-12s.txt", 1, false, 4, false},
        {"udp-4-pairs.config", "iperf-2.1.8-server-udp-100M-12s.txt", 4, true, 1, true},
    };
    int failures = 0;
    for (const Seed& seed : seeds) {
        ConsoleData data = Build(seed, argv[1]);
        const std::string path = std::string(argv[2]) + "/" + seed.file;
        if (!WriteConfigFile(path, data)) {
            std::fprintf(stderr, "cannot write %s\n", path.c_str());
            ++failures;
        }
    }
    return failures == 0 ? 0 : 1;
}
