#pragma once

#include <sys/types.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/child_process.h"

namespace quarn::test_support {

// Absolute path of a program found on PATH; the name itself when it holds a '/' or is
// not found.
std::string FindProgram(std::string_view name);

struct CommandResult {
    bool started = false;
    bool finished = false;  // false when it was killed at the time limit
    int exitCode = -1;      // -1 unless it exited normally
    std::string output;     // stdout and stderr together
};

// Runs argv (argv[0] looked up on PATH) to its end and collects its output; kills it
// after timeoutMs.
CommandResult RunCommand(std::vector<std::string> argv, int timeoutMs = 10000,
                         const std::vector<std::string>& env = {});

// A started program whose stdout and stderr are read as lines. Kills and reaps it on
// destruction. One owner thread.
class RunningProgram {
  public:
    RunningProgram() = default;
    RunningProgram(RunningProgram&&) noexcept = default;
    RunningProgram& operator=(RunningProgram&&) noexcept = default;

    // argv[0] is looked up on PATH; env entries are "NAME=value".
    bool Start(std::vector<std::string> argv, const std::vector<std::string>& env = {});

    // The next complete line (without its CR LF or LF), nullopt at the time limit or once
    // the output has ended.
    std::optional<std::string> NextLine(int timeoutMs);
    // Skips lines until one contains fragment; nullopt at the time limit or end of output.
    std::optional<std::string> WaitForLine(std::string_view fragment, int timeoutMs);
    // Every line still to come until the output ends or the time limit.
    std::vector<std::string> ReadRemainingLines(int timeoutMs);

    bool WaitExit(int timeoutMs);
    // Exit code once the program has exited normally.
    std::optional<int> ExitCode() const;
    bool Signal(int signalNumber);
    void Kill();
    pid_t Pid() const { return child_.Pid(); }

    // Every line read so far, for failure messages.
    std::string Transcript() const;

  private:
    // Reads whatever is waiting into pending_; false once the output has ended.
    bool Pump(int timeoutMs);
    std::optional<std::string> TakeLine();

    platform::ChildProcess child_;
    std::string pending_;
    std::vector<std::string> seen_;
    bool outputEnded_ = false;
};

}  // namespace quarn::test_support
