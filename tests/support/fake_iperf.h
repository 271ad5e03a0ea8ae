#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

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

// True while a process with this pid exists and is not a zombie.
bool ProcessAlive(pid_t pid);

}  // namespace quarn::test_support
