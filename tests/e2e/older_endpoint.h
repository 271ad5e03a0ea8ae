#pragma once

#include <atomic>
#include <optional>
#include <stop_token>
#include <string>
#include <thread>

#include "platform/socket.h"
#include "tests/support/program_runner.h"
#include "tests/support/test_network.h"

namespace quarn::e2e {

// A scripted EndPoint that speaks only the older protocol, inside one host: it answers
// "hello" with the ANSI-dialect reply ("45000" in the third field), serves server
// requests by running the real iperf server and relaying its output, and ends that iperf
// on "restart". It knows nothing newer, so what it receives is exactly what such an
// EndPoint would have to understand; every datagram is counted by its first word.
class OlderEndPoint {
  public:
    OlderEndPoint(const test_support::TestNetwork& network, int host, std::string name);
    ~OlderEndPoint();
    OlderEndPoint(const OlderEndPoint&) = delete;
    OlderEndPoint& operator=(const OlderEndPoint&) = delete;

    bool Listening() const { return udp_.Valid() && listener_.Valid(); }
    int Probes() const { return probes_.load(); }
    int Restarts() const { return restarts_.load(); }
    int Others() const { return others_.load(); }
    int ServerRequests() const { return serverRequests_.load(); }

  private:
    void Serve(const std::stop_token& stop);
    void Answer(const platform::Datagram& datagram);
    void Accept();
    void Relay();
    void EndIperf();

    const test_support::TestNetwork& network_;
    int host_;
    std::string name_;
    platform::Socket udp_;
    platform::Socket listener_;
    platform::Socket connection_;
    std::optional<test_support::RunningProgram> iperf_;
    std::atomic<int> probes_{0};
    std::atomic<int> restarts_{0};
    std::atomic<int> others_{0};
    std::atomic<int> serverRequests_{0};
    std::jthread thread_;  // last: stops before the sockets close
};

}  // namespace quarn::e2e
