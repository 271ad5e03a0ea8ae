#include "tests/e2e/older_endpoint.h"

#include <poll.h>

#include <sstream>
#include <vector>

#include "protocol/messages.h"

namespace quarn::e2e {

namespace {

constexpr int kTickMs = 20;
constexpr std::uint16_t kIperfPort = 5001;

// The request line up to its CR LF, or empty when none comes within the read timeout.
std::string ReadRequestLine(const platform::Socket& connection) {
    platform::SetRecvTimeout(connection, 5000);
    std::string line;
    char c = 0;
    while (line.size() < protocol::kMaxRequestLine) {
        if (platform::Receive(connection, &c, 1).status != platform::RecvStatus::Data) {
            return {};
        }
        line += c;
        if (line.ends_with("\r\n")) {
            line.resize(line.size() - 2);
            return line;
        }
    }
    return {};
}

}  // namespace

OlderEndPoint::OlderEndPoint(const test_support::TestNetwork& network, int host, std::string name)
    : network_(network), host_(host), name_(std::move(name)) {
    network_.RunInHost(host_, [&] {
        udp_ = platform::UdpBind(0, protocol::kDiscoveryPort, false);
        listener_ = platform::TcpListen(0, protocol::kControlPort, 4);
    });
    if (Listening()) {
        thread_ = std::jthread([this](const std::stop_token& stop) { Serve(stop); });
    }
}

OlderEndPoint::~OlderEndPoint() {
    thread_.request_stop();
    if (thread_.joinable()) {
        thread_.join();
    }
    EndIperf();
}

void OlderEndPoint::Serve(const std::stop_token& stop) {
    while (!stop.stop_requested()) {
        pollfd ready[] = {{udp_.Fd(), POLLIN, 0}, {listener_.Fd(), POLLIN, 0}};
        ::poll(ready, 2, kTickMs);
        if ((ready[0].revents & POLLIN) != 0) {
            const platform::DatagramResult got =
                platform::ReceiveFrom(udp_, protocol::kMaxDatagram);
            if (got.status == platform::RecvStatus::Data) {
                Answer(got.datagram);
            }
        }
        if ((ready[1].revents & POLLIN) != 0) {
            Accept();
        }
        Relay();
    }
}

void OlderEndPoint::Answer(const platform::Datagram& datagram) {
    switch (protocol::ClassifyDatagram(datagram.data)) {
        case protocol::DatagramKind::Probe: {
            ++probes_;
            const std::string reply =
                network_.Address(host_) + " 5001 45000 " + name_;  // the ANSI dialect
            platform::SendTo(udp_, reply, datagram.addr, datagram.port);
            break;
        }
        case protocol::DatagramKind::Restart:
            ++restarts_;
            EndIperf();
            break;
        default:
            ++others_;
    }
}

// One server request at a time, as a pair needs; anything else closes the connection.
void OlderEndPoint::Accept() {
    platform::Socket connection = platform::Accept(listener_);
    const std::string request = ReadRequestLine(connection);
    if (request.rfind("server_config ", 0) != 0 || iperf_) {
        return;
    }
    ++serverRequests_;
    std::vector<std::string> argv = {"iperf"};
    std::istringstream words(request.substr(std::string("server_config ").size()));
    for (std::string word; words >> word;) {
        argv.push_back(word);
    }
    argv.insert(argv.end(), {"-p", std::to_string(kIperfPort)});
    iperf_ = network_.Spawn(host_, argv);
    if (!iperf_->WaitForLine("listening", 5000)) {
        EndIperf();
        return;
    }
    platform::SendAll(connection, "ok;" + std::to_string(kIperfPort) + "\r\n");
    connection_ = std::move(connection);
}

void OlderEndPoint::Relay() {
    if (!iperf_ || !connection_.Valid()) {
        return;
    }
    while (const std::optional<std::string> line = iperf_->NextLine(1)) {
        platform::SendAll(connection_, *line + "\n");
    }
    if (iperf_->WaitExit(0)) {
        EndIperf();
    }
}

void OlderEndPoint::EndIperf() {
    if (iperf_) {
        iperf_->Kill();
        iperf_.reset();
    }
    connection_ = platform::Socket();
}

}  // namespace quarn::e2e
