#pragma once

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/os_calls.h"
#include "tests/support/temp_dir.h"

namespace quarn::test_support {

// Path of the scripted iperf stand-in built with the tests (see fake_iperf.cpp for the
// script language of FAKE_IPERF_SCRIPT).
std::string FakeIperfPath();

// Path of a program built into the build tree's bin folder, e.g. "Quarn_EndPoint".
std::string BuiltProgramPath(const std::string& name);

// One start of the stand-in as recorded in FAKE_IPERF_LOG.
struct FakeIperfStart {
    pid_t pid = 0;
    std::string owner;  // the QUARN_IPERF_OWNER value, "-" when absent
    std::vector<std::string> args;
};

// Every start recorded so far; empty when the file does not exist.
std::vector<FakeIperfStart> ReadFakeIperfLog(const std::string& path);

// A private copy of the stand-in in a temporary folder of its own, with its rules in a
// file beside it and its own start log, so nothing in the environment is shared and a
// sweep that matches processes by program path finds only this copy's.
class PrivateFakeIperf {
  public:
    // `script`: rules as for FAKE_IPERF_SCRIPT.
    explicit PrivateFakeIperf(const std::string& script);
    PrivateFakeIperf(const PrivateFakeIperf&) = delete;
    PrivateFakeIperf& operator=(const PrivateFakeIperf&) = delete;

    const std::string& Path() const { return path_; }
    const std::string& Folder() const { return dir_.Path(); }
    std::vector<FakeIperfStart> Starts() const;
    bool Started() const { return !Starts().empty(); }
    bool AwaitStart(std::chrono::milliseconds timeout) const;
    // Of the first start: its arguments, its owner marker ("" without one) and its pid.
    std::vector<std::string> Arguments() const;
    std::string OwnerMarker() const;
    std::optional<pid_t> Pid() const;

  private:
    TempDir dir_{"quarn-fake-iperf-"};
    std::string path_;
};

}  // namespace quarn::test_support
