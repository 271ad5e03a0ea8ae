#include "tests/support/program_runner.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>

#include "platform/deadline.h"

namespace quarn::test_support {
namespace {

using Clock = std::chrono::steady_clock;

int MillisecondsLeft(Clock::time_point deadline) {
    return platform::PollTimeoutMs(deadline);
}

}  // namespace

std::string FindProgram(std::string_view name) {
    const std::string program(name);
    if (program.find('/') != std::string::npos) {
        return program;
    }
    const char* path = std::getenv("PATH");
    std::string_view dirs = path != nullptr ? path : "/usr/local/bin:/usr/bin:/bin";
    const std::string_view sbin = ":/usr/local/sbin:/usr/sbin:/sbin";
    std::string searched = std::string(dirs) + std::string(sbin);
    size_t start = 0;
    while (start <= searched.size()) {
        const size_t end = std::min(searched.find(':', start), searched.size());
        const std::string dir = searched.substr(start, end - start);
        if (!dir.empty()) {
            const std::string candidate = dir + "/" + program;
            if (access(candidate.c_str(), X_OK) == 0) {
                return candidate;
            }
        }
        start = end + 1;
    }
    return program;
}

CommandResult RunCommand(std::vector<std::string> argv, int timeoutMs,
                         const std::vector<std::string>& env) {
    CommandResult result;
    RunningProgram program;
    result.started = program.Start(std::move(argv), env);
    if (!result.started) {
        return result;
    }
    for (const std::string& line : program.ReadRemainingLines(timeoutMs)) {
        result.output += line + "\n";
    }
    result.finished = program.WaitExit(timeoutMs);
    if (!result.finished) {
        program.Kill();
    }
    result.exitCode = program.ExitCode().value_or(-1);
    return result;
}

bool RunningProgram::Start(std::vector<std::string> argv, const std::vector<std::string>& env) {
    if (argv.empty()) {
        return false;
    }
    argv[0] = FindProgram(argv[0]);
    pending_.clear();
    seen_.clear();
    outputEnded_ = false;
    return child_.Start(argv, env);
}

bool RunningProgram::Pump(int timeoutMs) {
    if (outputEnded_) {
        return false;
    }
    child_.WaitForOutputOrExit(timeoutMs);
    char buffer[4096];
    while (true) {
        const long got = child_.ReadAvailable(buffer, sizeof buffer);
        if (got > 0) {
            pending_.append(buffer, static_cast<size_t>(got));
            continue;
        }
        outputEnded_ = got < 0;
        break;
    }
    return !outputEnded_;
}

std::optional<std::string> RunningProgram::TakeLine() {
    const size_t newline = pending_.find('\n');
    if (newline == std::string::npos) {
        return std::nullopt;
    }
    std::string line = pending_.substr(0, newline);
    pending_.erase(0, newline + 1);
    if (!line.empty() && line.back() == '\r') {
        line.pop_back();
    }
    seen_.push_back(line);
    return line;
}

std::optional<std::string> RunningProgram::NextLine(int timeoutMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (true) {
        if (auto line = TakeLine()) {
            return line;
        }
        if (outputEnded_) {
            if (pending_.empty()) {
                return std::nullopt;
            }
            // The last line had no newline.
            pending_ += '\n';
            continue;
        }
        const int left = MillisecondsLeft(deadline);
        if (left == 0) {
            return std::nullopt;
        }
        Pump(left);
    }
}

std::optional<std::string> RunningProgram::WaitForLine(std::string_view fragment, int timeoutMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (auto line = NextLine(MillisecondsLeft(deadline))) {
        if (line->find(fragment) != std::string::npos) {
            return line;
        }
    }
    return std::nullopt;
}

std::vector<std::string> RunningProgram::ReadRemainingLines(int timeoutMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    std::vector<std::string> lines;
    while (auto line = NextLine(MillisecondsLeft(deadline))) {
        lines.push_back(std::move(*line));
    }
    return lines;
}

bool RunningProgram::WaitExit(int timeoutMs) {
    return child_.WaitExit(timeoutMs);
}

std::optional<int> RunningProgram::ExitCode() const {
    const int status = child_.WaitStatus();
    if (status == -1 || !WIFEXITED(status)) {
        return std::nullopt;
    }
    return WEXITSTATUS(status);
}

bool RunningProgram::Signal(int signalNumber) {
    return child_.Running() && kill(child_.Pid(), signalNumber) == 0;
}

void RunningProgram::Kill() {
    child_.Terminate();
}

std::string RunningProgram::Transcript() const {
    std::string text;
    for (const std::string& line : seen_) {
        text += "  | " + line + "\n";
    }
    if (!pending_.empty()) {
        text += "  | " + pending_ + "\n";
    }
    return text;
}

}  // namespace quarn::test_support
