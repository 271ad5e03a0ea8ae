// The one scripted stand-in for iperf 2 of all tests, selected through QUARN_IPERF or by
// path (a private copy, see PrivateFakeIperf in fake_iperf.h).
//
// FAKE_IPERF_SCRIPT holds rules, one per line: "<server|client|*> <port|*>: step; step; ..."
// The first rule matching the role (-s or -c) and the -p port runs. Steps:
//   listen            "Server listening on TCP port N" (UDP with -u)
//   bindfail          "listener bind failed: Address already in use", then exit 0
//   print TEXT        TEXT as a line on stdout;  eprint TEXT: on stderr
//   report N MS       N per-second report lines, one every MS milliseconds
//   sleep MS          wait;  hang: wait until killed;  exit CODE
// Without a matching rule a server listens and hangs and a client exits at once.
// FAKE_IPERF_LOG names a file that gets one line per start:
//   "<pid>\t<QUARN_IPERF_OWNER or ->\t<arg1>\t<arg2>...".
// A copy started as DIR/NAME (NAME.exe on Windows) with a file DIR/NAME.script beside it
// takes its rules from that file and logs to DIR/NAME.log instead, whatever the
// environment says.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "tests/support/os_calls.h"

namespace {

struct Invocation {
    std::string role;  // "server" or "client"
    int port = 5001;
    bool udp = false;
};

Invocation ParseArguments(const std::vector<std::string>& args) {
    Invocation invocation;
    invocation.role = "client";
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "-s") {
            invocation.role = "server";
        } else if (args[i] == "-u") {
            invocation.udp = true;
        } else if (args[i] == "-p" && i + 1 < args.size()) {
            invocation.port = std::atoi(args[i + 1].c_str());
        }
    }
    return invocation;
}

// Each line leaves at once, as iperf's own do: the agent waits on the pipe, not on exit.
void WriteAll(std::FILE* stream, std::string_view text) {
    std::fwrite(text.data(), 1, text.size(), stream);
    std::fflush(stream);
}

// Where the rules and the start log come from: files beside a private copy, else the
// environment.
struct Setup {
    std::string script;
    std::string logPath;
};

Setup ReadSetup(const char* program) {
    Setup setup;
    std::filesystem::path beside(program);
    std::ifstream file(beside.replace_extension(".script"));
    if (file) {
        setup.script.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
        setup.logPath = beside.replace_extension(".log").string();
        return setup;
    }
    const char* script = std::getenv("FAKE_IPERF_SCRIPT");
    const char* log = std::getenv("FAKE_IPERF_LOG");
    setup.script = script != nullptr ? script : "";
    setup.logPath = log != nullptr ? log : "";
    return setup;
}

void Log(const std::string& logPath, const std::vector<std::string>& args) {
    if (logPath.empty()) {
        return;
    }
    const char* owner = std::getenv("QUARN_IPERF_OWNER");
    std::string line =
        std::to_string(quarn::test_support::OwnPid()) + "\t" + (owner != nullptr ? owner : "-");
    for (const std::string& arg : args) {
        line += "\t" + arg;
    }
    line += "\n";
    // Concurrent starts must not interleave their lines.
    quarn::test_support::AppendAtomically(logPath, line);
}

std::string Trim(std::string_view text) {
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) {
        return {};
    }
    const size_t last = text.find_last_not_of(" \t\r");
    return std::string(text.substr(first, last - first + 1));
}

// The steps of the first rule that matches, or nullopt-like empty when none does.
bool FindRule(const std::string& script, const Invocation& invocation,
              std::vector<std::string>& steps) {
    std::istringstream lines(script);
    for (std::string line; std::getline(lines, line);) {
        const size_t colon = line.find(':');
        if (colon == std::string::npos) {
            continue;
        }
        std::istringstream head(line.substr(0, colon));
        std::string role;
        std::string port;
        head >> role >> port;
        const bool roleMatches = role == "*" || role == invocation.role;
        const bool portMatches = port == "*" || port == std::to_string(invocation.port);
        if (!roleMatches || !portMatches) {
            continue;
        }
        std::istringstream body(line.substr(colon + 1));
        for (std::string step; std::getline(body, step, ';');) {
            if (!Trim(step).empty()) {
                steps.push_back(Trim(step));
            }
        }
        return true;
    }
    return false;
}

void SleepMs(long ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

void Report(long count, long intervalMs) {
    char line[128];
    for (long i = 0; i < count; ++i) {
        SleepMs(intervalMs);
        std::snprintf(line, sizeof line,
                      "[  1] %ld.0000-%ld.0000 sec   119 MBytes  1000 Mbits/sec\n", i, i + 1);
        WriteAll(stdout, line);
    }
}

int RunStep(const Invocation& invocation, const std::string& step, bool& done) {
    const size_t space = step.find(' ');
    const std::string verb = step.substr(0, space);
    const std::string rest = space == std::string::npos ? "" : Trim(step.substr(space + 1));
    if (verb == "listen") {
        WriteAll(stdout,
                 "------------------------------------------------------------\n"
                 "Server listening on " +
                     std::string(invocation.udp ? "UDP" : "TCP") + " port " +
                     std::to_string(invocation.port) + "\n");
    } else if (verb == "bindfail") {
        WriteAll(stderr, "listener bind failed: Address already in use\n");
        done = true;
    } else if (verb == "print") {
        WriteAll(stdout, rest + "\n");
    } else if (verb == "eprint") {
        WriteAll(stderr, rest + "\n");
    } else if (verb == "report") {
        std::istringstream numbers(rest);
        long count = 0;
        long intervalMs = 1000;
        numbers >> count >> intervalMs;
        Report(count, intervalMs);
    } else if (verb == "sleep") {
        SleepMs(std::atol(rest.c_str()));
    } else if (verb == "hang") {
        while (true) {
            std::this_thread::sleep_for(std::chrono::hours(1));
        }
    } else if (verb == "exit") {
        done = true;
        return std::atoi(rest.c_str());
    } else {
        WriteAll(stderr, "fake_iperf: unknown step '" + step + "'\n");
        done = true;
        return 2;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    const Setup setup = ReadSetup(argv[0]);
    Log(setup.logPath, args);
    const Invocation invocation = ParseArguments(args);
    std::vector<std::string> steps;
    if (!FindRule(setup.script, invocation, steps)) {
        steps = invocation.role == "server" ? std::vector<std::string>{"listen", "hang"}
                                            : std::vector<std::string>{"exit 0"};
    }
    for (const std::string& step : steps) {
        bool done = false;
        const int code = RunStep(invocation, step, done);
        if (done) {
            return code;
        }
    }
    return 0;
}
