// Runs 16 UDP pairs among four EndPoints, driven by a headless Console, and prints the CPU
// the EndPoint and Console processes themselves use (iperf not counted) against targets,
// and how often their threads wake: idle EndPoints first, then during the run.
// Everything runs inside network namespaces that this program builds and removes.
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "bench/thread_switches.h"
#include "bench/windows_wakeups.h"
#include "tests/support/program_runner.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_network.h"

namespace {

using quarn::bench::SwitchesBetween;
using quarn::bench::ThreadSwitches;
using quarn::bench::VoluntarySwitches;
using quarn::test_support::RunningProgram;
using quarn::test_support::TempDir;
using quarn::test_support::TestNetwork;
using Clock = std::chrono::steady_clock;

constexpr int kEndPoints = 4;  // hosts 1 to 4
constexpr int kConsoleHost = 5;
constexpr int kPairs = 16;
// Seconds left out at the start (connections, iperf start-up) and taken at the end.
constexpr int kSkipSeconds = 4;
constexpr double kEndPointTargetPerPair = 0.001;  // of one core
constexpr double kConsoleTarget = 0.005;          // of one core, for all pairs
// Each EndPoint plays End Point 1 of four pairs and End Point 2 of four.
constexpr int kRolesPerEndPoint = 2 * kPairs / kEndPoints;
constexpr int kIdleSeconds = 10;
constexpr double kIdleWakeTarget = 2;     // per second, for one idle EndPoint
constexpr double kRoleWakeTarget = 3;     // per second per pair role on an EndPoint
constexpr double kConsoleWakeTarget = 3;  // per second per pair on the Console

std::string Program(const std::string& name) {
    return std::string(QUARN_BIN_DIR) + "/" + name;
}

// utime + stime of a process in seconds, from /proc/<pid>/stat; nullopt once it is gone.
std::optional<double> CpuSeconds(pid_t pid) {
    std::ifstream file("/proc/" + std::to_string(pid) + "/stat");
    std::string text;
    if (!std::getline(file, text)) {
        return std::nullopt;
    }
    // The command name may hold spaces; the fields after it start with the state (field 3).
    const size_t close = text.rfind(')');
    if (close == std::string::npos) {
        return std::nullopt;
    }
    std::istringstream fields(text.substr(close + 2));
    std::vector<std::string> values;
    for (std::string value; fields >> value;) {
        values.push_back(value);
    }
    if (values.size() < 13) {
        return std::nullopt;
    }
    // utime and stime are fields 14 and 15, here 11 and 12 counted from the state.
    const double ticks =
        std::strtod(values[11].c_str(), nullptr) + std::strtod(values[12].c_str(), nullptr);
    return ticks / static_cast<double>(sysconf(_SC_CLK_TCK));
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
    ~EndPoint() {
        program_.Signal(SIGTERM);
        program_.WaitExit(5000);
    }
    EndPoint(const EndPoint&) = delete;
    EndPoint& operator=(const EndPoint&) = delete;

    pid_t Pid() const { return program_.Pid(); }

  private:
    TempDir config_;
    RunningProgram program_;
};

struct Sample {
    Clock::time_point at;
    double endPoints = 0;  // all four together
    double console = 0;
    std::vector<ThreadSwitches> endPointSwitches;
    ThreadSwitches consoleSwitches;
};

std::optional<Sample> TakeSample(const std::vector<std::unique_ptr<EndPoint>>& endPoints,
                                 pid_t console) {
    Sample sample;
    sample.at = Clock::now();
    for (const auto& endPoint : endPoints) {
        const std::optional<double> cpu = CpuSeconds(endPoint->Pid());
        if (!cpu) {
            return std::nullopt;
        }
        sample.endPoints += *cpu;
        sample.endPointSwitches.push_back(VoluntarySwitches(endPoint->Pid()));
    }
    const std::optional<double> cpu = CpuSeconds(console);
    if (!cpu) {
        return std::nullopt;
    }
    sample.console = *cpu;
    sample.consoleSwitches = VoluntarySwitches(console);
    return sample;
}

// Wake-ups per second of the busiest of the EndPoints between two samples.
double BusiestEndPointWakes(const Sample& first, const Sample& last) {
    const double wall = std::chrono::duration<double>(last.at - first.at).count();
    double busiest = 0;
    for (size_t i = 0; i < first.endPointSwitches.size(); ++i) {
        const double wakes = static_cast<double>(SwitchesBetween(first.endPointSwitches[i],
                                                                 last.endPointSwitches[i])) /
                             wall;
        busiest = std::max(busiest, wakes);
    }
    return busiest;
}

// The EndPoints with nothing to do, before any Console has looked for them.
void MeasureIdle(const std::vector<std::unique_ptr<EndPoint>>& endPoints) {
    std::vector<ThreadSwitches> before;
    for (const auto& endPoint : endPoints) {
        before.push_back(VoluntarySwitches(endPoint->Pid()));
    }
    const auto start = Clock::now();
    std::this_thread::sleep_for(std::chrono::seconds(kIdleSeconds));
    const double wall = std::chrono::duration<double>(Clock::now() - start).count();
    double rest = 0;
    // The busiest EndPoint by each figure; the goal leaves the identity refresh aside.
    quarn::bench::IdleWakes busiest;
    int refreshFound = 0;
    for (size_t i = 0; i < endPoints.size(); ++i) {
        const ThreadSwitches after = VoluntarySwitches(endPoints[i]->Pid());
        const quarn::bench::IdleWakes wakes =
            quarn::bench::IdleWakesBetween(endPoints[i]->Pid(), before[i], after, wall);
        busiest.all = std::max(busiest.all, wakes.all);
        busiest.refresh = std::max(busiest.refresh, wakes.refresh);
        refreshFound += wakes.refreshThreads > 0 ? 1 : 0;
        rest = std::max(rest, wakes.Rest());
    }
    std::printf(
        "  idle EndPoint, all threads: %.2f wake-ups/s (busiest of %d over %.1f s)\n"
        "  idle EndPoint, identity refresh thread (\"refresh\", found in %d of %d): %.2f "
        "wake-ups/s (busiest)\n"
        "  idle EndPoint, all threads but the refresh: %.2f wake-ups/s (busiest)  target <= "
        "%.2f  ratio %.3f\n",
        busiest.all, kEndPoints, wall, refreshFound, kEndPoints, busiest.refresh, rest,
        kIdleWakeTarget, rest / kIdleWakeTarget);
    std::fflush(stdout);
}

struct Window {
    Sample first;
    Sample last;
};

// Samples once a second after the start-up seconds while `running` holds (it also reads
// the Console's output, so that it never blocks on a full pipe); nullopt when the run went
// on far too long or fewer than two samples were taken.
std::optional<Window> SampleRun(const std::vector<std::unique_ptr<EndPoint>>& endPoints,
                                pid_t console, int seconds, const std::function<bool()>& running) {
    std::optional<Sample> first;
    std::optional<Sample> last;
    const auto start = Clock::now();
    auto nextSample = start + std::chrono::seconds(kSkipSeconds);
    while (running()) {
        if (Clock::now() < nextSample) {
            continue;
        }
        nextSample += std::chrono::seconds(1);
        if (std::optional<Sample> sample = TakeSample(endPoints, console)) {
            (first ? last : first) = sample;
        }
        if (Clock::now() - start > std::chrono::seconds(seconds + 120)) {
            std::fprintf(stderr, "bench_endpoint_cpu: the run did not end\n");
            return std::nullopt;
        }
    }
    if (!first || !last) {
        return std::nullopt;
    }
    return Window{*first, *last};
}

double WallSeconds(const Window& window) {
    return std::chrono::duration<double>(window.last.at - window.first.at).count();
}

void PrintConsole(const char* label, const Window& window) {
    const double wall = WallSeconds(window);
    const double cpu = (window.last.console - window.first.console) / wall;
    const double wakes = static_cast<double>(SwitchesBetween(window.first.consoleSwitches,
                                                             window.last.consoleSwitches)) /
                         wall / kPairs;
    std::printf("  %-9s  %.3f%% of a core for %d pairs  target <= %.3f%%  ratio %.3f\n", label,
                100 * cpu, kPairs, 100 * kConsoleTarget, cpu / kConsoleTarget);
    std::printf("  %-9s  %.2f wake-ups/s per pair  target <= %.2f  ratio %.3f\n", label, wakes,
                kConsoleWakeTarget, wakes / kConsoleWakeTarget);
    std::fflush(stdout);
}

std::vector<std::string> PairArguments(const TestNetwork& network) {
    // Every EndPoint sends in four pairs and receives in four: host h -> host h+1.
    std::vector<std::string> pairs;
    for (int pair = 0; pair < kPairs; ++pair) {
        const int from = pair % kEndPoints + 1;
        const int to = from % kEndPoints + 1;
        pairs.push_back(network.Address(from) + "," + network.Address(to));
    }
    return pairs;
}

int RunHeadless(const TestNetwork& network, const std::vector<std::unique_ptr<EndPoint>>& endPoints,
                int seconds) {
    std::vector<std::string> argv = {Program("Quarn_Console"), "--headless", "--udp",
                                     "--throughput",           "1",          "--duration",
                                     std::to_string(seconds)};
    for (const std::string& pair : PairArguments(network)) {
        argv.push_back("--pair");
        argv.push_back(pair);
    }
    RunningProgram console = network.Spawn(kConsoleHost, argv);
    std::printf(
        "bench_endpoint_cpu: %d UDP pairs (1 Mbit/s each) among %d EndPoints, %d s run, "
        "CPU of the EndPoint and Console processes only\n",
        kPairs, kEndPoints, seconds);
    std::fflush(stdout);
    // The last sample before the Console ends closes the window.
    const std::optional<Window> window = SampleRun(endPoints, console.Pid(), seconds, [&] {
        return console.NextLine(100) || !console.WaitExit(0);
    });
    console.WaitExit(5000);
    if (console.ExitCode() != 0 || !window) {
        std::fprintf(stderr, "bench_endpoint_cpu: the run did not complete (exit %d)\n%s",
                     console.ExitCode().value_or(-1), console.Transcript().c_str());
        return 1;
    }
    const double wall = WallSeconds(*window);
    const double endPointPerPair =
        (window->last.endPoints - window->first.endPoints) / wall / kPairs;
    std::printf("  window %.1f s (the first %d s left out)\n", wall, kSkipSeconds);
    std::printf("  EndPoints: %.3f%% of a core per pair  target <= %.3f%%  ratio %.3f\n",
                100 * endPointPerPair, 100 * kEndPointTargetPerPair,
                endPointPerPair / kEndPointTargetPerPair);
    const double roleWakes = BusiestEndPointWakes(window->first, window->last) / kRolesPerEndPoint;
    std::printf(
        "  EndPoints: %.2f wake-ups/s per pair role (busiest, %d roles each)  "
        "target <= %.2f  ratio %.3f\n",
        roleWakes, kRolesPerEndPoint, kRoleWakeTarget, roleWakes / kRoleWakeTarget);
    PrintConsole("Console:", *window);
    return 0;
}

// The window Console through the same run, on an Xvfb display of its own in the Console's
// host: the window test's driver adds the pairs and presses Start.
int RunWindow(const TestNetwork& network, const std::vector<std::unique_ptr<EndPoint>>& endPoints,
              int seconds) {
#ifdef QUARN_WINDOW_DRIVER
    const std::string display = ":" + std::to_string(300 + getpid() % 600);
    RunningProgram xvfb = network.Spawn(
        kConsoleHost, {"Xvfb", display, "-screen", "0", "1600x1000x24", "-nolisten", "tcp"});
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    const TempDir state;
    std::vector<std::string> argv = {QUARN_WINDOW_DRIVER, std::to_string(seconds), "1"};
    for (const std::string& pair : PairArguments(network)) {
        argv.push_back(pair);
    }
    RunningProgram console =
        network.Spawn(kConsoleHost, argv,
                      {"DISPLAY=" + display, "QT_QPA_PLATFORM=xcb",
                       "XDG_STATE_HOME=" + state.Path(), "QUARN_CONFIG_HOME=" + state.Path()});
    std::printf("bench_endpoint_cpu: the same run in the window Console (Xvfb)\n");
    std::fflush(stdout);
    // The window stays open after its run: its last second ends the measurement.
    const std::string lastSecond = "second " + std::to_string(seconds) + " ";
    bool ended = false;
    const std::optional<Window> window = SampleRun(endPoints, console.Pid(), seconds, [&] {
        const std::optional<std::string> line = console.NextLine(100);
        ended = ended || (line && line->starts_with(lastSecond));
        return !ended && (line || !console.WaitExit(0));
    });
    console.Kill();
    if (!window || !ended) {
        std::fprintf(stderr, "bench_endpoint_cpu: the window's run did not complete\n%s",
                     console.Transcript().c_str());
        return 1;
    }
    PrintConsole("Window:", *window);
    return 0;
#else
    (void)network;
    (void)endPoints;
    (void)seconds;
    std::printf("  window Console: not measured (built without the window tests' driver)\n");
    return 0;
#endif
}

int Run(int seconds) {
    if (const std::string reason = TestNetwork::Unavailable(); !reason.empty()) {
        std::fprintf(stderr, "bench_endpoint_cpu: %s\n", reason.c_str());
        return 2;
    }
    TestNetwork network(kConsoleHost);
    std::vector<std::unique_ptr<EndPoint>> endPoints;
    for (int host = 1; host <= kEndPoints; ++host) {
        endPoints.push_back(std::make_unique<EndPoint>(network, host));
    }
    std::printf(
        "bench_endpoint_cpu: voluntary context switches of the Quarn processes' own "
        "threads\n");
    MeasureIdle(endPoints);
    const int headless = RunHeadless(network, endPoints, seconds);
    return headless != 0 ? headless : RunWindow(network, endPoints, seconds);
}

}  // namespace

int main(int argc, char** argv) {
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 25;
    if (seconds < kSkipSeconds + 5) {
        std::fprintf(stderr, "usage: %s [SECONDS]  (default 25, at least %d)\n", argv[0],
                     kSkipSeconds + 5);
        return 2;
    }
    try {
        const int linux = Run(seconds);
        if (linux != 0) {
            return linux;
        }
        return quarn::bench::MeasureWindowsEndPoint(QUARN_BIN_DIR, seconds,
                                                    {kIdleWakeTarget, kRoleWakeTarget});
    } catch (const std::exception& error) {
        std::fprintf(stderr, "bench_endpoint_cpu: %s\n", error.what());
        return 1;
    }
}
