#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/child_process.h"

namespace quarn::agent {

// The argument vector of one iperf run: the path, the validated tokens, "-p" and the port.
std::vector<std::string> IperfArguments(const std::string& iperfPath,
                                        const std::vector<std::string>& tokens, uint16_t port);

// Starts iperf without a shell, marked as ours so a later instance can find strays.
bool StartIperf(platform::ChildProcess& process, const std::string& iperfPath,
                const std::vector<std::string>& tokens, uint16_t port);

}  // namespace quarn::agent
