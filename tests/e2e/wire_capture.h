#pragma once

#include <string>
#include <vector>

#include "tests/support/program_runner.h"
#include "tests/support/test_network.h"

namespace quarn::e2e {

// tcpdump inside a host: what reached its eth0, read once the capture is stopped. Brief
// lines name each packet's family ("IP" or "IP6"); detailed ones add the IP header (TOS,
// length) and the TCP options.
class WireCapture {
  public:
    enum class Lines { Brief, Detailed };

    WireCapture(const test_support::TestNetwork& network, int host, const std::string& filter,
                Lines lines);
    bool Listening() const { return listening_; }
    std::vector<std::string> Stop();

  private:
    test_support::RunningProgram program_;
    bool listening_ = false;
};

}  // namespace quarn::e2e
