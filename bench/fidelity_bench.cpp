// Measures one shaped link (tbf 400 Mbit/s) directly with iperf and through a Quarn pair,
// alternating, and prints both averages and their ratio. Everything runs inside network
// namespaces that this program builds and removes.
#include <signal.h>

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "bench/interval_average.h"
#include "tests/support/program_runner.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_network.h"

namespace {

using quarn::test_support::CommandResult;
using quarn::test_support::RunningProgram;
using quarn::test_support::TempDir;
using quarn::test_support::TestNetwork;

constexpr int kConsoleHost = 1;
constexpr int kSender = 2;    // End Point 1, the iperf client
constexpr int kReceiver = 3;  // End Point 2, the iperf server
constexpr int kSeconds = 10;
constexpr const char* kLinkRate = "400mbit";
constexpr double kTargetRatio = 0.98;
// The direct client runs long enough for warm-up + kSeconds full intervals.
constexpr int kDirectClientSeconds = quarn::bench::IntervalAverage::kWarmupSeconds + kSeconds + 1;
constexpr const char* kDirectPort = "5001";

std::string Program(const std::string& name) {
    return std::string(QUARN_BIN_DIR) + "/" + name;
}

std::vector<std::string> Words(const std::string& line) {
    std::istringstream stream(line);
    std::vector<std::string> words;
    for (std::string word; stream >> word;) {
        words.push_back(word);
    }
    return words;
}

// The sender's egress is the link's bottleneck; the data flows sender -> receiver.
void ShapeLink(const TestNetwork& network) {
    const CommandResult shaped =
        network.Run(kSender, {"tc", "qdisc", "add", "dev", "eth0", "root", "tbf", "rate", kLinkRate,
                              "burst", "256kb", "latency", "50ms"});
    if (!shaped.finished || shaped.exitCode != 0) {
        throw std::runtime_error("cannot shape the link: " + shaped.output);
    }
}

class EndPoint {
  public:
    EndPoint(const TestNetwork& network, int host) {
        program_ = network.Spawn(host, {Program("Quarn_EndPoint"), "--headless"},
                                 {"QUARN_CONFIG_HOME=" + config_.Path()});
        if (!program_.WaitForLine("Started:", 5000)) {
            throw std::runtime_error("the EndPoint did not start:\n" + program_.Transcript());
        }
    }
    // SIGTERM lets it end its own iperf processes.
    ~EndPoint() {
        program_.Signal(SIGTERM);
        program_.WaitExit(5000);
    }
    EndPoint(const EndPoint&) = delete;
    EndPoint& operator=(const EndPoint&) = delete;

  private:
    TempDir config_;
    RunningProgram program_;
};

std::optional<double> MeasureDirect(const TestNetwork& network) {
    RunningProgram server =
        network.Spawn(kReceiver, {"iperf", "-s", "-i", "1", "-f", "m", "-p", kDirectPort});
    if (!server.WaitForLine("Server listening", 5000)) {
        std::fprintf(stderr, "direct: the iperf server did not start\n%s",
                     server.Transcript().c_str());
        return std::nullopt;
    }
    const CommandResult client =
        network.Run(kSender,
                    {"iperf", "-c", network.Address(kReceiver), "-p", kDirectPort, "-i", "1", "-f",
                     "m", "-t", std::to_string(kDirectClientSeconds), "-w", "5.000000m"},
                    {}, (kDirectClientSeconds + 20) * 1000);
    quarn::bench::IntervalAverage intervals;
    while (std::optional<std::string> line = server.NextLine(3000)) {
        intervals.Add(*line);
        if (intervals.Intervals() >= quarn::bench::IntervalAverage::kWarmupSeconds + kSeconds) {
            break;
        }
    }
    const std::optional<double> average = intervals.Average(kSeconds);
    if (!average) {
        std::fprintf(stderr, "direct: %d server intervals only\nclient:\n%s\nserver:\n%s",
                     intervals.Intervals(), client.output.c_str(), server.Transcript().c_str());
    }
    return average;
}

std::optional<double> MeasureThroughQuarn(const TestNetwork& network) {
    const CommandResult run =
        network.Run(kConsoleHost,
                    {Program("Quarn_Console"), "--headless", "--pair",
                     network.Address(kSender) + "," + network.Address(kReceiver), "--duration",
                     std::to_string(kSeconds)},
                    {}, (kSeconds + 60) * 1000);
    std::istringstream lines(run.output);
    for (std::string line; std::getline(lines, line);) {
        const std::vector<std::string> words = Words(line);
        // Pair1 <ends...> State Count Current Average Minimum Maximum
        if (run.exitCode == 0 && words.size() >= 7 && words[0] == "Pair1") {
            return std::strtod(words[words.size() - 3].c_str(), nullptr);
        }
    }
    std::fprintf(stderr, "Quarn: the run did not complete (exit %d)\n%s", run.exitCode,
                 run.output.c_str());
    return std::nullopt;
}

double Mean(const std::vector<double>& values) {
    double sum = 0.0;
    for (double value : values) {
        sum += value;
    }
    return sum / static_cast<double>(values.size());
}

int Run(int rounds) {
    if (const std::string reason = TestNetwork::Unavailable(); !reason.empty()) {
        std::fprintf(stderr, "bench_fidelity: %s\n", reason.c_str());
        return 2;
    }
    TestNetwork network(3);
    ShapeLink(network);
    EndPoint sender(network, kSender);
    EndPoint receiver(network, kReceiver);

    std::printf("bench_fidelity: %s -> %s shaped to %s, %d s per measurement, %d rounds\n",
                network.Address(kSender).c_str(), network.Address(kReceiver).c_str(), kLinkRate,
                kSeconds, rounds);
    std::vector<double> direct;
    std::vector<double> quarn;
    for (int round = 1; round <= rounds; ++round) {
        const std::optional<double> viaIperf = MeasureDirect(network);
        const std::optional<double> viaQuarn = MeasureThroughQuarn(network);
        if (!viaIperf || !viaQuarn) {
            return 1;
        }
        direct.push_back(*viaIperf);
        quarn.push_back(*viaQuarn);
        std::printf("  round %d: direct %.2f Mbit/s, Quarn %.2f Mbit/s\n", round, *viaIperf,
                    *viaQuarn);
        std::fflush(stdout);
    }
    const double ratio = Mean(quarn) / Mean(direct);
    std::printf("  direct average  %.2f Mbit/s\n", Mean(direct));
    std::printf("  Quarn average   %.2f Mbit/s\n", Mean(quarn));
    std::printf("  ratio Quarn/direct %.4f   target >= %.2f\n", ratio, kTargetRatio);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::atoi(argv[1]) : 2;
    if (rounds < 1) {
        std::fprintf(stderr, "usage: %s [ROUNDS]  (default 2)\n", argv[0]);
        return 2;
    }
    try {
        return Run(rounds);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "bench_fidelity: %s\n", error.what());
        return 1;
    }
}
