#include "tests/e2e/wire_capture.h"

#include <signal.h>

namespace quarn::e2e {

WireCapture::WireCapture(const test_support::TestNetwork& network, int host,
                         const std::string& filter, Lines lines)
    : program_(network.Spawn(host, {"tcpdump", "-i", "eth0", "-n",
                                    lines == Lines::Brief ? "-q" : "-v", "-l", filter})) {
    listening_ = program_.WaitForLine("listening on", 5000).has_value();
}

std::vector<std::string> WireCapture::Stop() {
    program_.Signal(SIGINT);
    return program_.ReadRemainingLines(5000);
}

}  // namespace quarn::e2e
