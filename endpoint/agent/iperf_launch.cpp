#include "endpoint/agent/iperf_launch.h"

#include "endpoint/agent/agent_state.h"
#include "platform/iperf_marker.h"

namespace quarn::agent {

std::vector<std::string> IperfArguments(const std::string& iperfPath,
                                        const std::vector<std::string>& tokens, uint16_t port) {
    std::vector<std::string> argv;
    argv.reserve(tokens.size() + 3);
    argv.push_back(iperfPath);
    argv.insert(argv.end(), tokens.begin(), tokens.end());
    argv.push_back("-p");
    argv.push_back(std::to_string(port));
    return argv;
}

bool StartIperf(platform::ChildProcess& process, const std::string& iperfPath,
                const std::vector<std::string>& tokens, uint16_t port) {
    return process.Start(IperfArguments(iperfPath, tokens, port),
                         {platform::OwnerMarkerEnv(kIperfOwnerRole)});
}

}  // namespace quarn::agent
