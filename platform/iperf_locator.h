#pragma once

#include <string>

namespace quarn::platform {

// $QUARN_IPERF if set, else <ownExeDir>/iperf if executable, else the first iperf on PATH,
// else "iperf".
std::string FindIperf(const std::string& ownExeDir);

// Folder of the running executable (from /proc/self/exe), empty when unknown.
std::string OwnExecutableDir();

}  // namespace quarn::platform
