#include "tests/e2e/namespace_processes.h"

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>

#include "tests/support/program_runner.h"

namespace quarn::e2e {
namespace {

std::string ReadProcFile(pid_t pid, const char* file) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/" + file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The fourth field of /proc/<pid>/stat, after the parenthesised name (which may hold spaces).
pid_t ParentOf(pid_t pid) {
    const std::string stat = ReadProcFile(pid, "stat");
    const std::size_t close = stat.rfind(')');
    if (close == std::string::npos) {
        return 0;
    }
    std::istringstream rest(stat.substr(close + 1));
    std::string state;
    long parent = 0;
    rest >> state >> parent;
    return static_cast<pid_t>(parent);
}

std::vector<std::string> ArgvOf(pid_t pid) {
    const std::string raw = ReadProcFile(pid, "cmdline");
    std::vector<std::string> argv;
    std::size_t start = 0;
    while (start < raw.size()) {
        const std::size_t end = raw.find('\0', start);
        argv.push_back(raw.substr(start, end - start));
        if (end == std::string::npos) {
            break;
        }
        start = end + 1;
    }
    return argv;
}

}  // namespace

bool ProcessView::HasArguments(const std::string& option, const std::string& value) const {
    for (std::size_t i = 0; i + 1 < argv.size(); ++i) {
        if (argv[i] == option && argv[i + 1] == value) {
            return true;
        }
    }
    return false;
}

std::string ProcessView::CommandLine() const {
    std::string text;
    for (const std::string& arg : argv) {
        text += (text.empty() ? "" : " ") + arg;
    }
    return text;
}

std::vector<ProcessView> ProcessesInNamespace(const std::string& netns) {
    const test_support::CommandResult listed =
        test_support::RunCommand({"ip", "netns", "pids", netns});
    std::vector<ProcessView> processes;
    std::istringstream lines(listed.output);
    for (std::string line; std::getline(lines, line);) {
        const long pid = std::strtol(line.c_str(), nullptr, 10);
        if (pid <= 0) {
            continue;
        }
        ProcessView process;
        process.pid = static_cast<pid_t>(pid);
        process.name = ReadProcFile(process.pid, "comm");
        if (!process.name.empty() && process.name.back() == '\n') {
            process.name.pop_back();
        }
        process.parent = ParentOf(process.pid);
        process.argv = ArgvOf(process.pid);
        // Gone between the listing and the reading.
        if (process.name.empty()) {
            continue;
        }
        processes.push_back(std::move(process));
    }
    return processes;
}

std::vector<ProcessView> IperfProcesses(const std::string& netns) {
    std::vector<ProcessView> iperfs;
    for (ProcessView& process : ProcessesInNamespace(netns)) {
        if (process.name == "iperf") {
            iperfs.push_back(std::move(process));
        }
    }
    return iperfs;
}

}  // namespace quarn::e2e
