#include "bench/windows_wakeups.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <optional>
#include <stdexcept>
#include <thread>
#include <vector>

#include "bench/thread_switches.h"
#include "tests/e2e/namespace_processes.h"
#include "tests/e2e/wine_host.h"
#include "tests/support/program_runner.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_network.h"

namespace quarn::bench {
namespace {

using Clock = std::chrono::steady_clock;
using test_support::RunningProgram;

using test_support::TestNetwork;

constexpr int kWindowsHost = 1;
constexpr int kLinuxHost = 2;
constexpr int kConsoleHost = 3;
// Two pairs each way: the Windows EndPoint is End Point 1 of two and End Point 2 of two.
constexpr int kPairsEachWay = 2;
constexpr int kRoles = 2 * kPairsEachWay;
constexpr int kIdleSeconds = 10;
constexpr int kSkipSeconds = 4;

// The Windows EndPoint's own process: Wine names it after the program (cut to 15 letters).
pid_t WindowsEndPointPid(const TestNetwork& network) {
    for (const e2e::ProcessView& process :
         e2e::ProcessesInNamespace(network.Namespace(kWindowsHost))) {
        if (process.name.rfind("Quarn_EndPoint", 0) == 0) {
            return process.pid;
        }
    }
    throw std::runtime_error("no Windows EndPoint process in its namespace");
}

double WakesPerSecond(const ThreadSwitches& before, const ThreadSwitches& after,
                      Clock::duration wall) {
    return static_cast<double>(SwitchesBetween(before, after)) /
           std::chrono::duration<double>(wall).count();
}

void PrintIdle(pid_t pid, const WakeGoals& goals) {
    const ThreadSwitches before = VoluntarySwitches(pid);
    const auto start = Clock::now();
    std::this_thread::sleep_for(std::chrono::seconds(kIdleSeconds));
    const ThreadSwitches after = VoluntarySwitches(pid);
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    const IdleWakes wakes = IdleWakesBetween(pid, before, after, seconds);
    std::printf(
        "  Windows EndPoint (Wine), idle, all threads: %.2f wake-ups/s over %d s\n"
        "  Windows EndPoint (Wine), idle, identity refresh thread (\"refresh\", %d found): "
        "%.2f wake-ups/s\n"
        "  Windows EndPoint (Wine), idle, all threads but the refresh: %.2f wake-ups/s  "
        "target <= %.2f  ratio %.3f\n",
        wakes.all, kIdleSeconds, wakes.refreshThreads, wakes.refresh, wakes.Rest(), goals.idle,
        wakes.Rest() / goals.idle);
    std::printf("    busiest threads: %s\n",
                BusiestThreads(before, after, NamesOf(pid), 5).c_str());
    std::fflush(stdout);
}

RunningProgram StartConsole(const TestNetwork& network, const std::string& binDir, int seconds) {
    std::vector<std::string> argv = {
        binDir + "/Quarn_Console", "--headless", "--udp", "--throughput", "1", "--duration",
        std::to_string(seconds)};
    for (int pair = 0; pair < 2 * kPairsEachWay; ++pair) {
        const bool fromWindows = pair < kPairsEachWay;
        argv.push_back("--pair");
        argv.push_back(network.Address(fromWindows ? kWindowsHost : kLinuxHost) + "," +
                       network.Address(fromWindows ? kLinuxHost : kWindowsHost));
    }
    return network.Spawn(kConsoleHost, argv);
}

struct Sample {
    Clock::time_point at;
    ThreadSwitches switches;
    ThreadNames names;  // read with the switches: a role's threads end with the run
};

// The run's wake-ups per second split by what woke: the discovery responders (the
// Console's round-trip probes, one a second per target, each answered with the adapter
// listing), the identity refresh, and everything else (the roles' threads, Wine's own).
void PrintRunSplit(const Sample& first, const Sample& last, const WakeGoals& goals) {
    const double seconds = std::chrono::duration<double>(last.at - first.at).count();
    auto perSecond = [&](std::initializer_list<const char*> names) {
        long long sum = 0;
        for (const char* name : names) {
            sum += SwitchesOfThreadsNamed(first.switches, last.switches, last.names, name).switches;
        }
        return static_cast<double>(sum) / seconds;
    };
    const double all =
        static_cast<double>(SwitchesBetween(first.switches, last.switches)) / seconds;
    const double responders = perSecond({"responder", "responder6"});
    const double refresh = perSecond({"refresh"});
    const double roles = perSecond({"connection", "forward"});
    const double rest = all - responders - refresh - roles;
    std::printf(
        "    of which: discovery responders %.2f/s, identity refresh %.2f/s, the roles' "
        "threads (\"connection\", \"forward\") %.2f/s, the rest %.2f/s\n",
        responders, refresh, roles, rest);
    std::printf(
        "  Windows EndPoint (Wine), the roles' threads only: %.2f wake-ups/s per pair role  "
        "target <= %.2f  ratio %.3f\n",
        roles / kRoles, goals.role, roles / kRoles / goals.role);
}

// Samples once a second after the start-up seconds, as the Linux figures are taken.
int PrintRun(const TestNetwork& network, const std::string& binDir, int seconds, pid_t pid,
             const WakeGoals& goals) {
    RunningProgram console = StartConsole(network, binDir, seconds);
    std::optional<Sample> first;
    std::optional<Sample> last;
    const auto start = Clock::now();
    auto nextSample = start + std::chrono::seconds(kSkipSeconds);
    while (console.NextLine(100) || !console.WaitExit(0)) {
        if (Clock::now() >= nextSample) {
            nextSample += std::chrono::seconds(1);
            (first ? last : first) = Sample{Clock::now(), VoluntarySwitches(pid), NamesOf(pid)};
        }
        if (Clock::now() - start > std::chrono::seconds(seconds + 120)) {
            std::fprintf(stderr, "bench_endpoint_cpu: the Windows run did not end\n");
            return 1;
        }
    }
    if (console.ExitCode() != 0 || !first || !last) {
        std::fprintf(stderr, "bench_endpoint_cpu: the Windows run did not complete (exit %d)\n%s",
                     console.ExitCode().value_or(-1), console.Transcript().c_str());
        return 1;
    }
    const double perRole =
        WakesPerSecond(first->switches, last->switches, last->at - first->at) / kRoles;
    std::printf("    busiest threads: %s\n",
                BusiestThreads(first->switches, last->switches, last->names, 6).c_str());
    std::printf(
        "  Windows EndPoint (Wine), %d UDP pairs with a Linux EndPoint: %.2f wake-ups/s "
        "per pair role, all threads (%d roles)  target <= %.2f  ratio %.3f\n",
        2 * kPairsEachWay, perRole, kRoles, goals.role, perRole / goals.role);
    PrintRunSplit(*first, *last, goals);
    return 0;
}

int MeasureSwitches(const std::string& binDir, int seconds, const WakeGoals& goals) {
    TestNetwork network(kConsoleHost);
    const e2e::WineHost wine(network, kWindowsHost, e2e::WindowsBuild::FromEnvironment(), {});
    RunningProgram windows = wine.SpawnEndPoint({"--headless"});
    if (!windows.WaitForLine("Started:", 30000)) {
        throw std::runtime_error("the Windows EndPoint did not start:\n" + windows.Transcript());
    }
    const test_support::TempDir config;
    RunningProgram linux = network.Spawn(kLinuxHost, {binDir + "/Quarn_EndPoint", "--headless"},
                                         {"QUARN_CONFIG_HOME=" + config.Path()});
    if (!linux.WaitForLine("Started:", 5000)) {
        throw std::runtime_error("the Linux EndPoint did not start:\n" + linux.Transcript());
    }
    std::printf(
        "bench_endpoint_cpu: the Windows EndPoint under Wine (all threads of its "
        "process, Wine's own included)\n");
    const pid_t pid = WindowsEndPointPid(network);
    PrintIdle(pid, goals);
    const int result = PrintRun(network, binDir, seconds, pid, goals);
    windows.Kill();
    windows.WaitExit(5000);
    return result;
}

// Voluntary switches under Wine count every wineserver round trip. The wineserver's own
// trace tells the waits that slept from those that returned at once; the script runs one
// pair each way traced and prints the sleeps per pair role beside the goal.
int MeasureSleeps(const std::string& binDir) {
    const std::string script = std::string(QUARN_SOURCE_DIR) + "/scripts/windows/trace-wakeups.sh";
    const std::string command = "'" + script + "' --seconds 12 '" + binDir + "/..'";
    std::printf("bench_endpoint_cpu: the Windows EndPoint under Wine, traced (%s)\n",
                command.c_str());
    std::fflush(stdout);
    const int status = std::system(command.c_str());
    if (status != 0) {
        std::fprintf(stderr, "bench_endpoint_cpu: the traced run failed (status %d)\n", status);
        return 1;
    }
    return 0;
}

}  // namespace

int MeasureWindowsEndPoint(const std::string& binDir, int seconds, const WakeGoals& goals) {
    if (const std::string why = e2e::WindowsBuild::Unavailable(); !why.empty()) {
        std::printf("  Windows EndPoint (Wine): not measured: %s\n", why.c_str());
        return 0;
    }
    const int switches = MeasureSwitches(binDir, seconds, goals);
    return switches != 0 ? switches : MeasureSleeps(binDir);
}

}  // namespace quarn::bench
