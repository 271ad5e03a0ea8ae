#pragma once

#include <sys/types.h>

#include <string>

namespace quarn::test_support {

// The few OS calls the tests and the iperf stand-in need that neither the standard library
// nor platform/ offers; os_calls_linux.cpp or os_calls_win.cpp, chosen by the build.

// The id of this process, as a child's parent id or an owner marker shows it.
pid_t OwnPid();

// True while a process with this pid exists and has not ended (a zombie has ended).
bool ProcessAlive(pid_t pid);

// Sets or removes a variable of this process's environment, which children inherit.
void SetEnvironmentValue(const std::string& name, const std::string& value);
void ClearEnvironmentValue(const std::string& name);

// Appends text to the file (created when missing) in one write that writers in other
// processes cannot interleave with. False when it cannot be opened.
bool AppendAtomically(const std::string& path, const std::string& text);

}  // namespace quarn::test_support
